"""The real window: caption, size at the desktop's scale, icons, frames
that keep coming, a picture that follows the window's size, and the ways of
closing it."""

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
        window = self.screen.wait_window(MAIN_CAPTION, program=program)
        self.assertTrue(wait_until(lambda: floor_box(self.screen.shot(window)), 10),
                        "expected the grey floor drawn within 10 s; saw none")
        return program, window

    def test_size_at_the_desktops_scale_icons_frames_resizing_and_closing(self):
        # Each start is closed another way: Escape with any modifiers, the close box, Escape.
        for dpi, size, how in ((None, (238, 189), "ctrl+shift+alt+Escape"),
                               (144, (357, 284), "close box"), (192, (476, 378), "Escape")):
            with self.subTest(dpi=dpi):
                # Xvfb publishes no scale; a desktop publishes Xft.dpi.
                self.screen.set_resources("Xft.dpi:\t%d\n" % dpi if dpi else "")
                program, window = self.launch("dpi-%s" % dpi)
                self.assertEqual(self.screen.size(window), size, "at Xft.dpi %s" % dpi)
                if dpi is None:
                    self.assertIsNone(self.screen.icon_problem(window))
                    self.assertIsNone(self.screen.spin_problem(window, timeout=10))
                    self.resizes(window)
                    self.screen.key(window, "a", "Return", "space", "shift+a")
                    self.assertIsNone(program.wait(QUIET_S), "expected other keys to do nothing; "
                                      "Kalvo ended (%s)" % program.output())
                if how == "close box":
                    self.screen.close_box(window)
                else:
                    self.screen.key(window, how)
                status = program.wait(10)
                self.assertEqual(status, 0, "expected exit status 0 within 10 s of %s; got %s (%s)"
                                 % (how, status, program.output()))

    def resizes(self, window):
        """That the picture follows the window's size: the floor's box scales with it."""
        start = floor_box(self.screen.shot(window, "resize-238x189"))
        for width, height in ((476, 378), (400, 520)):
            self.screen.resize(window, width, height)
            want = [edge * s for edge, s in zip(start, (width / 238, height / 189) * 2)]
            fits = wait_until(lambda: near(floor_box(self.screen.shot(window)), want),
                              NEXT_FRAME_S)  # pylint: disable=cell-var-from-loop
            got = floor_box(self.screen.shot(window, "resize-%dx%d" % (width, height)))
            self.assertTrue(fits, "at %dx%d expected the floor's box near %s (the first "
                            "frame's %s scaled); got %s" % (width, height, want, start, got))

if __name__ == "__main__":
    main("program", "artifacts")
