"""Throws of the real program, watched on screen: a left release throws and
the picture comes to rest no sooner than its 120 frames allow; further left and
middle releases change nothing; a right release brings the spin back; and
each start throws differently."""

import os
import sys
import time
import unittest

from harness import MAIN_CAPTION, NEXT_FRAME_S, QUIET_S, REST_FRAME, REST_S, Screen, main

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "support"))
from die_picture import FACES_OF_TINT, top_face  # pylint: disable=wrong-import-position

# Frames are counted, not timed: a busy machine throws slower, never faster.
THROW_S = 30
# More changes than a throw makes, with room for frames before the release is handled.
PAST_A_THROW_FRAMES = REST_FRAME + 30


def throw(test, screen, window, left_click=None, box=None):
    """(picture at rest, seconds from the left release to the first shot of
    it) for a throw that comes to rest no sooner than its frames allow. The
    click is screen.click's unless given; the picture, the window's or the
    box's (left, top, right, bottom) within it."""
    # Stamped before the release, so that the time taken is never short.
    clicked = time.monotonic()
    if left_click:
        left_click()
    else:
        screen.click(window, 1)
    rest = screen.still(window, THROW_S, box=box)
    test.assertTrue(rest, "expected the die to come to rest within %d s of a left release"
                    % THROW_S)
    picture, since = rest
    took = since - clicked
    test.assertGreaterEqual(took, REST_S, "expected rest no sooner than %.3f s after the left "
                            "release; it was at rest after %.3f s" % (REST_S, took))
    return picture, took


def check_face_up(test, image):
    """That the picture at rest shows a face up, read as a user would."""
    tint, pips, red = top_face(image)
    test.assertIn(pips, FACES_OF_TINT[tint], "expected the top side's tint %s to carry one of "
                  "faces %s; it shows %d pips" % (tint, FACES_OF_TINT[tint], pips))
    test.assertEqual(red, pips == 1, "expected red in the single pip of face 1 only")


class ThrowTest(unittest.TestCase):
    def setUp(self):
        self.screen = Screen()
        self.addCleanup(self.screen.close)

    def throw(self, window, tag):
        """The picture at rest after a left release, checked for a face up."""
        picture, _ = throw(self, self.screen, window)
        check_face_up(self, self.screen.shot(window, tag))
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
        changes = self.screen.count_changes(window, PAST_A_THROW_FRAMES, THROW_S)
        self.assertEqual(changes, PAST_A_THROW_FRAMES, "expected a middle release to leave the "
                         "die spinning for %d frames; it stopped after %d changes"
                         % (PAST_A_THROW_FRAMES, changes))
        first = self.throw(window, "first-throw")
        for button in (1, 2):
            self.screen.click(window, button)
            changed = any(pixels != first for _, pixels in self.screen.shots(window, QUIET_S))
            self.screen.shot(window, "button%d-at-rest" % button)
            self.assertFalse(changed, "expected button %d to change nothing at rest; the picture "
                             "changed" % button)
        self.screen.click(window, 3)
        self.assertTrue(self.screen.changes(window, NEXT_FRAME_S),
                        "expected a right release to bring the spin back")
        self.throw(window, "second-throw")

    def test_a_click_that_focuses_the_window_throws(self):
        _, window = self.start("focus-click")
        self.screen.xdotool("windowfocus", "--sync", self.screen.x.screen().root.id)
        # The window takes the focus and the click comes at once, as when a
        # user clicks on Kalvo while another window has the focus.
        self.screen.xdotool("mousemove", "--window", window.id, 100, 100,
                            "windowfocus", window.id, "click", 1)
        self.assertTrue(self.screen.still(window, THROW_S),
                        "expected a click that gives the window the focus to throw the die")

    def test_each_start_throws_differently(self):
        # Equal by chance one time in 540 (six faces, 90 headings) per throw.
        finals = []
        for run in range(2):
            program, window = self.start("run%d" % run)
            throws = [self.throw(window, "run%d-throw0" % run)]
            self.screen.click(window, 3)
            # The reset's frame, before the next throw.
            self.assertTrue(self.screen.changes(window, NEXT_FRAME_S),
                            "expected a right release to bring the spin back")
            throws.append(self.throw(window, "run%d-throw1" % run))
            finals.append(throws)
            program.stop()
        self.assertNotEqual(finals[0], finals[1],
                            "expected two starts to throw differently; both threw the same twice")


if __name__ == "__main__":
    main("program", "artifacts")
