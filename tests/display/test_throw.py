"""Throws of the real program, watched on screen: a left release throws and
the picture rests no sooner than its 120 frames allow."""

import time
import unittest

from harness import MAIN_CAPTION, NEXT_FRAME_S, QUIET_S, REST_FRAME, REST_S, Screen, main
from die_picture import check_face_up  # found through the harness

# Frames are counted, not timed: a busy machine throws slower, never faster.
THROW_S = 30
# More changes than a throw makes, with room for frames before the release is handled.
PAST_A_THROW_FRAMES = REST_FRAME + 30


def throw(test, screen, window, left_click=None, box=None):
    """(picture at rest, seconds from the left release to it), checked to be
    no sooner than the throw's frames allow; of the window, or a box in it."""
    clicked = time.monotonic()  # before the release, so that the time is never short
    if left_click:
        left_click()
    else:
        screen.click(window, 1)
    rest = screen.still(window, THROW_S, box=box)
    test.assertTrue(rest, "expected the die to rest within %d s of a left release" % THROW_S)
    picture, since = rest
    test.assertGreaterEqual(since - clicked, REST_S, "expected rest no sooner than %.3f s after "
                            "the left release; it was at rest after %.3f s"
                            % (REST_S, since - clicked))
    return picture, since - clicked


class ThrowTest(unittest.TestCase):
    def setUp(self):
        self.screen = Screen()
        self.addCleanup(self.screen.close)

    def throw(self, window, tag, left_click=None):
        picture, _ = throw(self, self.screen, window, left_click)
        check_face_up(self, self.screen.shot(window, tag))
        return picture

    def start(self, tag):
        program = self.screen.start(tag)
        window = self.screen.wait_window(MAIN_CAPTION, program=program)
        self.screen.resize(window, 480, 480)
        return program, window

    def test_throws_of_two_starts(self):
        """Middle releases do nothing; a left one throws, once; a right one picks
        up; a click that gives the window the focus throws; each start throws
        differently (equal by chance one time in 540 a throw: six faces, 90 headings)."""
        finals = []
        for run in range(2):
            program, window = self.start("run%d" % run)
            if run == 0:
                self.screen.click(window, 2)
                changes = self.screen.count_changes(window, PAST_A_THROW_FRAMES, THROW_S)
                self.assertEqual(changes, PAST_A_THROW_FRAMES, "expected a middle release to "
                                 "leave the die spinning for %d frames; it stopped after %d "
                                 "changes" % (PAST_A_THROW_FRAMES, changes))
                first = self.throw(window, "run0-throw0")
                for button in (1, 2):
                    self.screen.click(window, button)
                    changed = any(pixels != first
                                  for _, pixels in self.screen.shots(window, QUIET_S))
                    self.screen.shot(window, "button%d-at-rest" % button)
                    self.assertFalse(changed, "expected button %d to do nothing at rest" % button)
            else:
                # Focus and click at once, as a user clicking Kalvo while another window has it.
                self.screen.xdotool("windowfocus", "--sync", self.screen.x.screen().root.id)
                first = self.throw(window, "run1-throw0", lambda: self.screen.xdotool(
                    "mousemove", "--window", window.id, 100, 100, "windowfocus", window.id,
                    "click", 1))  # pylint: disable=cell-var-from-loop
            self.screen.click(window, 3)
            self.assertTrue(self.screen.changes(window, NEXT_FRAME_S),
                            "expected a right release to bring the spin back")
            finals.append([first, self.throw(window, "run%d-throw1" % run)])
            program.stop()
        self.assertNotEqual(finals[0], finals[1],
                            "expected two starts to throw differently; both threw the same twice")


if __name__ == "__main__":
    main("program", "artifacts")
