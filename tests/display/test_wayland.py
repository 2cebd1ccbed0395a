"""Kalvo on a weston nested in the test's Xvfb: with Wayland and X11 both at
hand it talks Wayland, at the output's scale; X11 where the Wayland socket
does not answer or the user asks for it."""

import os
import re
import tempfile
import unittest

from harness import MAIN_CAPTION, Screen, Weston, main, wait_until
from test_throw import throw
from die_picture import check_face_up  # found through the harness

# The desktop entry the shell matches the window's app id against.
DESKTOP_ENTRY = os.path.join(os.path.dirname(__file__), "..", "..", "packaging", "kalvo.desktop")
SIZE = (238, 189)


def buffers_of_the_window(log, surface):
    """(buffer scales set, buffer sizes attached) on the surface, from WAYLAND_DEBUG."""
    sizes = dict(re.findall(r"create_buffer\(new id wl_buffer@(\d+), \d+, (\d+, \d+),", log))
    scales = set(re.findall(r"wl_surface@%s\.set_buffer_scale\((\d+)\)" % surface, log))
    attached = {sizes.get(buffer) for buffer in
                re.findall(r"wl_surface@%s\.attach\(wl_buffer@(\d+)," % surface, log)}
    return scales, attached


class WaylandTest(unittest.TestCase):
    def setUp(self):
        self.screen = Screen()
        self.addCleanup(self.screen.close)

    def shown(self, weston, program):
        """weston's box of Kalvo's window, checked for app id and size."""
        shown = wait_until(lambda: weston.toplevels().get(MAIN_CAPTION), 15)
        self.assertTrue(shown, "expected weston to show %r within 15 s; it shows %s (%s)"
                        % (MAIN_CAPTION, weston.toplevels(), program.output()[-2000:]))
        role, app_id, box = shown
        self.assertEqual((role, app_id), ("xdg_toplevel", os.path.basename(DESKTOP_ENTRY)[:-8]),
                         "expected a Wayland window whose app id names the desktop entry")
        self.assertEqual((box[2] - box[0], box[3] - box[1]), SIZE, "logical size")
        return box

    def test_desktop_at_scale_2_native_sharp_and_driven_by_mouse_and_keys(self):
        weston = Weston(self.screen, "scale2", scale=2, xwayland=True)
        self.assertIn("DISPLAY", weston.env, "expected XWayland's display beside Wayland's")
        program = weston.start("scale2", env={"WAYLAND_DEBUG": "client"})
        box = self.shown(weston, program)
        surface = re.search(r"get_xdg_surface\(new id xdg_surface@\d+, wl_surface@(\d+)\)",
                            program.output()).group(1)
        self.assertEqual(buffers_of_the_window(program.output(), surface),
                         ({"2"}, {"%d, %d" % (SIZE[0] * 2, SIZE[1] * 2)}),
                         "expected buffers of twice the size at buffer scale 2")
        self.assertIsNone(self.screen.spin_problem(weston.window, box=weston.pixels(box)))
        weston.shot(box, "scale2-spin")

        middle = ((box[0] + box[2]) // 2, (box[1] + box[3]) // 2)
        throw(self, self.screen, weston.window, box=weston.pixels(box),
              left_click=lambda: weston.click(*middle, 1))
        check_face_up(self, weston.shot(box, "scale2-at-rest"))
        weston.key("Escape")
        self.assertEqual(program.wait(10), 0, program.output()[-2000:])

    def test_x11_where_wayland_does_not_answer_or_is_not_asked_for(self):
        with tempfile.TemporaryDirectory() as runtime_dir:
            program = self.screen.start("no-socket", env={"XDG_RUNTIME_DIR": runtime_dir,
                                                          "WAYLAND_DISPLAY": "wayland-none"})
            self.assert_x11_window(program, "where WAYLAND_DISPLAY names no socket")
        weston = Weston(self.screen, "asked-x11", scale=1)
        program = weston.start("asked-x11", env={"SDL_VIDEODRIVER": "x11"})
        self.assert_x11_window(program, "when SDL_VIDEODRIVER asks for x11")
        self.assertNotIn(MAIN_CAPTION, weston.toplevels())

    def assert_x11_window(self, program, why):
        window = self.screen.wait_window(MAIN_CAPTION, program=program)
        self.assertEqual(self.screen.size(window), SIZE, why)
        self.screen.key(window, "Escape")
        self.assertEqual(program.wait(10), 0, program.output())

if __name__ == "__main__":
    main("program", "artifacts")
