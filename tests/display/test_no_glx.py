"""On an X server without GLX, OpenGL cannot be set up: Kalvo shows its one
message box, never shows its main window, and ends with a failure status once
the box is answered, by key or by mouse."""

import collections
import contextlib
import time
import unittest

from xharness import APP_TITLE, MAIN_CAPTION, X, artifact, run_tests, start_kalvo, xvfb

MESSAGE = "OpenGLの初期化に失敗しました。"


class NoGlxTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.stack = contextlib.ExitStack()
        cls.x = X(cls.stack.enter_context(xvfb("-extension", "GLX")))

    @classmethod
    def tearDownClass(cls):
        cls.stack.close()

    def watch(self, program, until, timeout):
        """Polls the screen until until() holds; returns (held, main window seen)."""
        main_seen = False
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            main_seen = main_seen or bool(self.x.visible_named(MAIN_CAPTION))
            if until():
                return True, main_seen
            time.sleep(0.05)
        return False, main_seen

    def run_and_answer(self, tag, answer):
        program = start_kalvo(self, self.x, tag)
        boxes = []

        def box_up():
            boxes[:] = self.x.visible_named(APP_TITLE)
            return bool(boxes) or not program.running()

        shown, main_seen = self.watch(program, box_up, 15)
        self.assertTrue(shown and boxes, "expected a window titled %r within 15 s; got %s"
                        % (APP_TITLE, "none" if program.running() else
                           "none, and Kalvo exited with %s (stderr: %s)"
                           % (program.proc.returncode, program.output())))
        box = boxes[0]
        picture = self.x.screenshot(box)
        picture.save_png(artifact(tag + "-box.png"))
        self.assertIn(MESSAGE, program.output(),
                      "expected standard error to carry %r; got %r" % (MESSAGE, program.output()))

        answer(box, picture)
        ended, seen_after = self.watch(program, lambda: not program.running(), 5)
        self.assertTrue(ended, "expected Kalvo to end within 5 s of answering the box; it runs on")
        self.assertFalse(main_seen or seen_after,
                         "expected no %r window ever shown; one was" % MAIN_CAPTION)
        status = program.proc.returncode
        self.assertGreater(status, 0, "expected a non-zero exit status (not a signal) after the "
                           "failure box; got %d (stderr: %s)" % (status, program.output()))

    def test_return_answers_the_box(self):
        self.run_and_answer("return", lambda box, _: self.x.key(box, "Return"))

    def test_ok_button_answers_the_box(self):
        def click_ok(box, picture):
            # The button is the largest patch of one colour, other than the
            # box's own ground, in the box's lower half.
            lower = [(x, y) for y in range(picture.height // 2, picture.height)
                     for x in range(picture.width)]
            ground = collections.Counter(picture.pixel(x, y) for y in range(picture.height)
                                         for x in range(picture.width)).most_common(1)[0][0]
            counts = collections.Counter(picture.pixel(x, y) for x, y in lower)
            del counts[ground]
            self.assertTrue(counts, "expected a button in the lower half of the box; it is plain")
            face = counts.most_common(1)[0][0]
            xs = [x for x, y in lower if picture.pixel(x, y) == face]
            ys = [y for x, y in lower if picture.pixel(x, y) == face]
            self.x.click(box, (min(xs) + max(xs)) // 2, (min(ys) + max(ys)) // 2, 1)

        self.run_and_answer("click", click_ok)


if __name__ == "__main__":
    run_tests()
