"""Kalvo cannot go on: no display, no OpenGL, or an error that ends a handler.
Each is said on standard error, the last two in a message box too, and the
program ends with status 1."""

import os
import subprocess
import unittest

from harness import APP_TITLE, ARGS, MAIN_CAPTION, QUIET_S, Screen, main, wait_until


class FailureTest(unittest.TestCase):
    def answer_box_and_end(self, screen, program, said):
        box = screen.wait_window(APP_TITLE, program=program)
        self.assertIn(said, program.output())
        self.assertIsNone(program.wait(QUIET_S), "expected Kalvo to wait for the box's answer")
        screen.key(box, "Return")
        self.assertEqual(program.wait(10), 1, program.output())

    def test_no_opengl_says_so_before_any_window_is_shown(self):
        screen = Screen("-extension", "GLX")
        self.addCleanup(screen.close)
        program = screen.start("no-glx")
        # Whichever comes first; a main window shown before the box would stay up beside it.
        wait_until(lambda: screen.windows(MAIN_CAPTION) or screen.windows(APP_TITLE)
                   or not program.running(), 15)
        self.assertEqual(screen.windows(MAIN_CAPTION), [], "expected no main window")
        screen.shot(screen.wait_window(APP_TITLE), "no-glx-box")
        self.answer_box_and_end(screen, program, "OpenGLの初期化に失敗しました。")

    def test_no_display_says_why(self):
        env = {k: v for k, v in os.environ.items() if not k.endswith(("DISPLAY", "DRIVER"))}
        for extra, said in (({}, "no display to show the window on"),
                            ({"DISPLAY": ":9999"}, "cannot reach the display (DISPLAY=:9999, then"),
                            ({"WAYLAND_DISPLAY": "kalvo-none", "DISPLAY": ":9999"},
                             "cannot reach the display (the Wayland socket"),
                            ({"SDL_VIDEODRIVER": "dummy"}, "SDL_VIDEODRIVER=dummy picks"),
                            ({"SDL_VIDEODRIVER": "no"}, "cannot open a display: ")):
            done = subprocess.run([ARGS.program], env=env | extra, capture_output=True, text=True,
                                  timeout=60, check=False)
            last = (done.stderr.splitlines() or [""])[-1]
            self.assertEqual((done.returncode, last.startswith("kalvo: " + said)), (1, True),
                             "%s: expected status 1 after %r; got %s" % (extra, said, done))

    def test_an_error_that_ends_a_handler_is_reported(self):
        screen = Screen()
        self.addCleanup(screen.close)
        preload = " ".join(filter(None, [os.environ.get("LD_PRELOAD"),
                                         os.environ["KALVO_HUGE_WINDOW"]]))
        program = screen.start("huge-window", env={"LD_PRELOAD": preload})
        self.answer_box_and_end(screen, program, "the picture's width, 2147483648, does not fit")


if __name__ == "__main__":
    main("program", "artifacts")
