"""kalvo.exe under Wine on its own Xvfb, seen as a user would: the window,
a throw and a reset, the size at a higher DPI, Wine's own desktop, and the
box where there is no OpenGL."""

import os
import subprocess
import sys
import time
import unittest

from PIL import Image, ImageChops

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "display"))
from harness import (APP_TITLE, ARGS, MAIN_CAPTION, NEXT_FRAME_S,  # noqa: E402
                     Screen, main, wait_until)
from test_throw import throw  # noqa: E402
from die_picture import check_face_up  # noqa: E402

WINE_RUN = os.path.join(HERE, "..", "..", "scripts", "wine-run")
WINDOW_S = 60  # the first run makes the Wine prefix, which takes a while
UNTHROWN_CHANGES = 150


def box_unlike(image, colour):
    """(left, top, right, bottom) of the pixels not of this colour, or None."""
    mask = Image.new("RGB", image.size, colour)
    return ImageChops.difference(image, mask).convert("L").point(lambda v: 255 * (v > 0)).getbbox()


class WineTest(unittest.TestCase):
    def start(self, *server_args, command=None, env=None, tag=None):
        self.screen = Screen(*server_args)
        self.addCleanup(self.screen.close)
        return self.screen.start(tag or "kalvo" + "".join(server_args),
                                 [WINE_RUN, *(command or [ARGS.program])], env)

    def test_window_icons_throw_reset_and_escape(self):
        program = self.start()
        window = self.screen.wait_window(MAIN_CAPTION, WINDOW_S, program)
        self.assertEqual(self.screen.size(window), (238, 189))
        self.assertIsNone(self.screen.icon_problem(window))
        self.assertIsNone(self.screen.spin_problem(window))

        self.screen.xdotool("windowsize", "--sync", window.id, 300, 300)  # pips big enough to count
        throw(self, self.screen, window)
        check_face_up(self, self.screen.shot(window, "rest"))
        self.screen.click(window, 3)
        self.assertTrue(self.screen.changes(window, NEXT_FRAME_S),
                        "expected a right release to bring the spin back")
        self.screen.key(window, "Escape")
        self.assertEqual(program.wait(10), 0, program.output())

    def test_size_follows_the_prefixs_dpi(self):
        # A prefix of its own: the DPI is the whole session's.
        env = {"KALVO_WINE_HOME": os.path.join(ARGS.artifacts, "wine-home-dpi")}
        self.screen = Screen()
        self.addCleanup(self.screen.close)
        done = subprocess.run([WINE_RUN, "reg", "add", r"HKCU\Control Panel\Desktop", "/v",
                               "LogPixels", "/t", "REG_DWORD", "/d", "144", "/f"],
                              env=dict(self.screen.env, **env), capture_output=True, text=True,
                              timeout=180, check=False)
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
        program = self.screen.start("dpi-144", [WINE_RUN, ARGS.program], env)
        window = self.screen.wait_window(MAIN_CAPTION, WINDOW_S, program)
        self.assertTrue(wait_until(lambda: self.screen.size(window) == (357, 284), 5),
                        "at 144 DPI expected 357x284; got %s" % (self.screen.size(window),))
        self.screen.shot(window, "dpi-144")

    def on_desktop(self, tag):
        """(program, desktop window, kalvo()) with Kalvo spinning on Wine's own
        desktop, which runs the move loop and menu mode as Windows does, and
        where a press outside Kalvo is another window's. kalvo() is Kalvo's box
        on it, frame and all."""
        z_path = "Z:" + os.path.abspath(ARGS.program).replace("/", "\\")  # Z: is the root
        program = self.start(command=["explorer", "/desktop=kalvo,800x600", z_path], tag=tag)
        desktop = self.screen.wait_window("kalvo - Wine desktop", WINDOW_S, program)

        def kalvo():
            shot = self.screen.shot(desktop)
            return box_unlike(shot, shot.getpixel((shot.width - 1, shot.height - 1)))

        self.assertTrue(wait_until(kalvo, WINDOW_S) and
                        self.screen.changes(desktop, NEXT_FRAME_S, kalvo()),
                        "expected the spinning die on Wine's desktop (%s)" % program.output())
        return program, desktop, kalvo

    def test_virtual_desktop_drag_mouse_capture_and_a_bare_alt(self):
        _, desktop, kalvo = self.on_desktop("desktop")
        left, top, right, bottom = kalvo()
        inside = ((left + right) // 2, (top + bottom) // 2 + 20)

        def press_release(start, end, button=1):
            self.screen.xdotool("mousemove", "--window", desktop.id, *start, "mousedown", button)
            self.screen.xdotool("mousemove", "--window", desktop.id, *end, "mouseup", button)

        # Pressed on the desktop and released over the picture: not Kalvo's
        # click. A throw changes the picture about 120 times, then holds still.
        press_release((right + 200, bottom + 200), inside)
        changes = self.screen.count_changes(desktop, UNTHROWN_CHANGES, 60, kalvo())
        self.assertEqual(changes, UNTHROWN_CHANGES, "expected no throw from a press outside and "
                         "a release inside; the picture held still after %d changes" % changes)

        # Held on the caption and dragged: the die goes on spinning meanwhile.
        caption = ((left + right) // 2, top + 10)
        self.screen.xdotool("mousemove", "--window", desktop.id, *caption, "mousedown", 1)
        for step in range(1, 11):
            self.screen.xdotool("mousemove", "--window", desktop.id,
                                caption[0] + 15 * step, caption[1] + 10 * step)
            time.sleep(0.1)  # a user's hand, not a wait for the program
        during = self.screen.spin_problem(desktop, kalvo())
        self.screen.shot(desktop, "desktop-dragging")
        self.screen.xdotool("mouseup", 1)
        self.assertIsNone(during, "while the caption is held")
        moved = wait_until(lambda: kalvo()[:2] == (left + 150, top + 100), 5)
        self.assertTrue(moved, "expected the window moved by (150, 100); it is at %s"
                        % (kalvo(),))

        # Pressed over the picture and released outside: the die is thrown.
        left, top, right, bottom = kalvo()
        press_release(((left + right) // 2, (top + bottom) // 2 + 20), (right + 100, bottom + 50))
        self.assertTrue(self.screen.still(desktop, 30, (left, top, right, bottom)),
                        "expected a press inside and a release outside to throw the die")
        self.screen.shot(desktop, "desktop-thrown")

        # A bare Alt would enter the menu bar Kalvo does not have, and Escape
        # would only leave it. Wine's plain X11 driver never enters that mode.
        self.screen.click(desktop, 2, (left + right) // 2, (top + bottom) // 2 + 20)  # the focus
        self.screen.key(desktop, "alt")
        self.screen.key(desktop, "Escape")
        closed = wait_until(lambda: not kalvo(), 10)
        self.screen.shot(desktop, "desktop-alt-escape")
        self.assertTrue(closed, "expected Escape after a bare Alt to close Kalvo")

    def test_no_opengl_says_so_and_ends(self):
        program = self.start("-extension", "GLX")
        box = self.screen.wait_window(APP_TITLE, WINDOW_S, program)
        self.assertEqual(self.screen.windows(MAIN_CAPTION), [], "expected no main window")
        self.assertIn("OpenGLの初期化に失敗しました。", program.output())
        self.screen.shot(box, "no-glx-box")
        self.screen.key(box, "Return")
        self.assertEqual(program.wait(10), 1, program.output())


if __name__ == "__main__":
    main("program", "artifacts")
