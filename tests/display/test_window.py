"""The real window: caption, size and icons, frames that keep coming, a
picture that follows the window's size, and the ways of closing it."""

import unittest

from harness import MAIN_CAPTION, NEXT_FRAME_S, QUIET_S, Screen, main, wait_until
from die_picture import floor_box  # found through the harness


def near(box, want):
    return box and all(abs(a - b) <= 3 for a, b in zip(box, want))


class WindowTest(unittest.TestCase):
    def setUp(self):
        self.screen = Screen()
        self.addCleanup(self.screen.close)

    def launch(self, tag):
        program = self.screen.start(tag)
        window = self.screen.wait_window(MAIN_CAPTION)
        self.assertIsNotNone(window, "expected a window %r within 15 s; got none (%s)"
                             % (MAIN_CAPTION, program.output()))
        self.assertTrue(wait_until(lambda: floor_box(self.screen.shot(window)), 10),
                        "expected the grey floor drawn within 10 s; saw none")
        return program, window

    def test_caption_size_icons_and_frames(self):
        _, window = self.launch("start")
        self.assertEqual(self.screen.size(window), (238, 189))
        self.assertIsNone(self.screen.icon_problem(window))
        self.assertIsNone(self.screen.spin_problem(window, timeout=10))

    def test_picture_follows_window_size(self):
        _, window = self.launch("resize")
        start = floor_box(self.screen.shot(window, "resize-238x189"))
        for width, height in ((476, 378), (400, 520)):
            self.screen.resize(window, width, height)
            want = [edge * s for edge, s in zip(start, (width / 238, height / 189) * 2)]
            fits = wait_until(lambda: near(floor_box(self.screen.shot(window)), want),
                              NEXT_FRAME_S)  # pylint: disable=cell-var-from-loop
            got = floor_box(self.screen.shot(window, "resize-%dx%d" % (width, height)))
            self.assertTrue(fits, "at %dx%d expected the floor's box near %s (the first "
                            "frame's %s scaled); got %s" % (width, height, want, start, got))

    def test_size_follows_the_desktops_scale(self):
        boxes = {}
        for dpi, size in ((None, (238, 189)), (144, (357, 284)), (192, (476, 378))):
            with self.subTest(dpi=dpi):
                # Xvfb publishes no scale; a desktop publishes Xft.dpi.
                self.screen.set_resources("Xft.dpi:\t%d\n" % dpi if dpi else "")
                program, window = self.launch("dpi-%s" % dpi)
                self.assertEqual(self.screen.size(window), size, "at Xft.dpi %s" % dpi)
                boxes[dpi] = floor_box(self.screen.shot(window, "dpi-%s" % dpi))
                self.screen.key(window, "Escape")
                self.assertEqual(program.wait(5), 0, program.output())
        for dpi in (144, 192):
            want = [edge * dpi / 96 for edge in boxes[None]]
            self.assertTrue(near(boxes[dpi], want), "at Xft.dpi %d expected the floor's box "
                            "near %s (96's scaled); got %s" % (dpi, want, boxes[dpi]))

    def test_escape_with_any_modifiers_and_the_close_box_close(self):
        for how in ("Escape", "ctrl+shift+alt+Escape", "close box"):
            with self.subTest(how=how):
                program, window = self.launch(how.replace(" ", "-").replace("+", "-"))
                if how == "close box":
                    self.screen.close_box(window)
                else:
                    self.screen.key(window, "a", "Return", "space", "shift+a")
                    self.assertIsNone(program.wait(QUIET_S), "expected other keys to do nothing; "
                                      "Kalvo ended (%s)" % program.output())
                    self.screen.key(window, how)
                status = program.wait(10)
                self.assertEqual(status, 0, "expected exit status 0 within 10 s of %s; got %s (%s)"
                                 % (how, status, program.output()))


if __name__ == "__main__":
    main("program", "artifacts")
