"""Throws of the real program, watched on screen: a left release throws and
the die comes to rest no sooner than its 100 frames allow; further left and
middle releases change nothing; a right release brings the spin back; and
each start throws differently."""

import os
import sys
import time
import unittest

from harness import MAIN_CAPTION, Screen, main, wait_until

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "support"))
from die_picture import FACES_OF_TINT, top_face  # pylint: disable=wrong-import-position

REST_S = 100 * 0.020  # the throw's frames, at most one per 20 ms


class ThrowTest(unittest.TestCase):
    def setUp(self):
        self.screen = Screen()
        self.addCleanup(self.screen.close)

    def spinning(self, window):
        first = self.screen.shot(window).tobytes()
        time.sleep(0.1)
        return self.screen.shot(window).tobytes() != first

    def still_picture(self, window, timeout):
        """The picture once it has stayed the same for half a second, or None."""
        def still():
            first = self.screen.shot(window).tobytes()
            time.sleep(0.5)
            return self.screen.shot(window).tobytes() == first and first
        return wait_until(still, timeout, 0)

    def throw(self, window, tag):
        self.screen.click(window, 1)
        clicked = time.monotonic()
        picture = self.still_picture(window, 10)
        self.assertTrue(picture, "expected the die to come to rest within 10 s of a left release")
        took = time.monotonic() - clicked
        self.assertGreater(took, REST_S, "expected rest no sooner than %.1f s after the left "
                           "release; it was still after %.2f s" % (REST_S, took))
        tint, pips, red = top_face(self.screen.shot(window, tag))
        self.assertIn(pips, FACES_OF_TINT[tint], "expected the top side's tint %s to carry one "
                      "of faces %s; it shows %d pips" % (tint, FACES_OF_TINT[tint], pips))
        self.assertEqual(red, pips == 1, "expected red in the single pip of face 1 only")
        return picture

    def start(self, tag):
        program = self.screen.start(tag)
        window = self.screen.wait_window(MAIN_CAPTION)
        self.assertIsNotNone(window, program.output())
        self.screen.resize(window, 480, 480)
        return program, window

    def test_throw_ignore_reset_and_throw_again(self):
        _, window = self.start("throws")
        self.screen.click(window, 2)
        time.sleep(REST_S + 0.5)
        self.assertTrue(self.spinning(window), "expected a middle release to leave the die "
                        "spinning")
        first = self.throw(window, "first-throw")
        for button in (1, 2):
            self.screen.click(window, button)
            time.sleep(0.3)
            self.assertEqual(self.screen.shot(window).tobytes(), first,
                             "expected button %d to change nothing at rest" % button)
        self.screen.click(window, 3)
        self.assertTrue(wait_until(lambda: self.spinning(window), 2),
                        "expected a right release to bring the spin back")
        self.throw(window, "second-throw")

    def test_each_start_throws_differently(self):
        # Equal by chance one time in 540 (six faces, 90 headings) per throw.
        finals = []
        for run in range(2):
            program, window = self.start("run%d" % run)
            throws = [self.throw(window, "run%d-throw0" % run)]
            self.screen.click(window, 3)
            time.sleep(0.2)  # the reset's frame, before the next throw
            throws.append(self.throw(window, "run%d-throw1" % run))
            finals.append(throws)
            program.stop()
        self.assertNotEqual(finals[0], finals[1],
                            "expected two starts to throw differently; both threw the same twice")


if __name__ == "__main__":
    main()
