"""Throws, end to end, as a user makes them: a left click throws, the die comes
to rest and the camera settles looking down on it; the face on top is read
off the screen (its tint and its pips must agree); a further left click, or a
middle one, changes nothing; a right click brings back the idle spin. Several
throws in one run."""

import math
import time

from xharness import (XvfbTestCase, FACES_OF_TINT, FINAL_CAMERA, FLOOR_GREY, IDLE_CAMERA, MAIN_CAPTION,
                      REST_TOP_CENTRE, artifact, floor_bbox, read_top_face, run_tests,
                      start_kalvo, to_window, wait_until)

THROWS = 8
SIZE = 600  # large enough for the pips to be counted
POLL_S = 0.1
# Alike for this long, the picture is still. 0.3 s would do on an idle
# machine; the margin is for tests running side by side on two cores.
STILL_SPAN_S = 0.5
SETTLE_DEADLINE_S = 20.0
# The final view comes with the 120th frame of a throw, 119 pacing intervals of
# 20 whole milliseconds after the first, which comes after the click; less 10 ms
# for the rounding of the counter to milliseconds.
EARLIEST_FINAL_VIEW_S = 119 * 0.020 - 0.010
LEFT, MIDDLE, RIGHT = 1, 2, 3  # X's button numbers


class ThrowTest(XvfbTestCase):
    def wait_still(self, since):
        """Screenshots every POLL_S until they have stayed alike for STILL_SPAN_S;
        returns the picture and when the first alike one had been taken,
        counted from since."""
        last, run_start = None, None
        while time.monotonic() - since < SETTLE_DEADLINE_S:
            shot = self.x.screenshot(self.wid)
            # Stamped once taken: the picture is of some moment before this.
            taken = time.monotonic()
            if shot != last:
                last, run_start = shot, taken
            elif taken - run_start >= STILL_SPAN_S:
                return shot, run_start - since
            time.sleep(max(0.0, taken + POLL_S - time.monotonic()))
        last.save_png(artifact("never-still.png"))
        self.fail("expected the picture to come to rest within %.0f s of the click; it still "
                  "changes (last screenshot never-still.png)" % SETTLE_DEADLINE_S)

    def assert_spinning(self, still, what):
        deadline = time.monotonic() + 3
        while True:
            first = self.x.screenshot(self.wid)
            time.sleep(0.15)
            shot = self.x.screenshot(self.wid)
            if first != shot and first != still:
                break
            self.assertLess(time.monotonic(), deadline, "expected the die to spin again after "
                            "%s (screenshots 150 ms apart differing); the picture stayed still"
                            % what)
        box = shot.bbox(FLOOR_GREY)
        want = floor_bbox(IDLE_CAMERA, SIZE, SIZE)
        self.assertTrue(box and all(abs(g - w) <= 8 for g, w in zip(box, want)),
                        "expected the idle camera after %s, floor box near (%.0f, %.0f, %.0f, "
                        "%.0f); got %s" % ((what,) + want + (box,)))

    def read_outcome(self, picture, throw):
        # Probes on a circle of radius 0.14 about the centre of the top face:
        # inside the face (half-edge 0.2) however it is turned, outside face 1's
        # big pip (radius 0.1).
        cx, cy, cz = REST_TOP_CENTRE
        probes = [to_window((cx + 0.14 * math.cos(a), cy, cz + 0.14 * math.sin(a)),
                            FINAL_CAMERA, SIZE, SIZE)
                  for a in (2 * math.pi * k / 48 for k in range(48))]
        face = read_top_face(picture, probes)
        centre = to_window(REST_TOP_CENTRE, FINAL_CAMERA, SIZE, SIZE)
        where = "throw %d (throw-%d.png), top face expected around (%.0f, %.0f)" % (
            throw, throw, centre[0], centre[1])
        self.assertIsNotNone(face["tint"], "%s: expected a pale green, red or blue face there; "
                             "found none" % where)
        # The top face of a 0.4 square seen at 45 degrees from about 2.9 units
        # covers some 5000 pixels at this size.
        self.assertGreater(face["area"], 2500, "%s: expected a face of over 2500 pixels; got %d"
                           % (where, face["area"]))
        self.assertEqual(face["holes_other"], 0, "%s: expected only pips inside the face; found "
                         "%d patches of another colour" % (where, face["holes_other"]))
        count = len(face["pips"])
        allowed = FACES_OF_TINT[face["tint"]]
        self.assertIn(count, allowed, "%s: a %s face carries %s pips; counted %d (pip areas %s)"
                      % (where, face["tint"], " or ".join(map(str, allowed)), count,
                         [a for a, _ in face["pips"]]))
        reds = sum(1 for _, red in face["pips"] if red)
        self.assertEqual(reds, 1 if count == 1 else 0, "%s: expected %s; counted %d red pips of %d"
                         % (where, "face 1's pip red" if count == 1 else "only black pips",
                            reds, count))
        return count, face["tint"]

    def click(self, button):
        self.x.click(self.wid, SIZE // 2, SIZE // 2, button)

    def test_throws(self):
        start_kalvo(self, self.x, "throw")
        self.wid = self.x.wait_window(MAIN_CAPTION)
        self.assertIsNotNone(self.wid, "expected a window titled %r within 15 s" % MAIN_CAPTION)
        self.x.move_resize(self.wid, SIZE, SIZE)
        sized = wait_until(lambda: self.x.geometry(self.wid)[2:] == (SIZE, SIZE), 5)
        self.assertTrue(sized, "expected the window at %dx%d; got %s"
                        % (SIZE, SIZE, self.x.geometry(self.wid)[2:]))
        self.assert_spinning(None, "start-up")

        outcomes, settle_times = [], []
        for throw in range(1, THROWS + 1):
            clicked = time.monotonic()
            self.click(LEFT)
            still, settled_after = self.wait_still(clicked)
            still.save_png(artifact("throw-%d.png" % throw))
            self.assertGreaterEqual(
                settled_after, EARLIEST_FINAL_VIEW_S,
                "throw %d: expected the final view no sooner than %.2f s after the click (120 "
                "frames at most one per 20 ms); the picture was still %.2f s after it"
                % (throw, EARLIEST_FINAL_VIEW_S, settled_after))
            outcomes.append(self.read_outcome(still, throw))
            settle_times.append(settled_after)

            # Neither a further left click nor a middle one moves the die.
            self.click(LEFT)
            self.click(MIDDLE)
            time.sleep(0.5)
            after = self.x.screenshot(self.wid)
            if after != still:
                after.save_png(artifact("throw-%d-clicked-again.png" % throw))
            self.assertTrue(after == still, "throw %d: expected a left and a middle click on the "
                            "resting die to change nothing; the picture changed "
                            "(throw-%d-clicked-again.png)" % (throw, throw))

            self.click(RIGHT)
            self.assert_spinning(still, "a right click (throw %d)" % throw)

        print("outcomes read (pips, tint of the top face): %s" % outcomes)
        print("click to final view, s: %s" % ", ".join("%.2f" % t for t in settle_times))
        faces = {count for count, _ in outcomes}
        # All eight alike happens by chance once in 6**7 (about 280,000) runs.
        self.assertGreater(len(faces), 1, "expected different outcomes over %d throws; every "
                           "one showed %s" % (THROWS, faces))


if __name__ == "__main__":
    run_tests()
