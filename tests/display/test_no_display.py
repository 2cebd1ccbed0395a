"""With no display to show on, Kalvo says so and ends at once, rather than
running with a window nobody can see."""

import os
import subprocess
import time
import unittest

from xharness import Settings, artifact, run_tests


class NoDisplayTest(unittest.TestCase):
    def test_reports_missing_display_and_fails(self):
        env = {k: v for k, v in os.environ.items()
               if k not in ("DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER")}
        started = time.monotonic()
        try:
            done = subprocess.run([Settings.kalvo], env=env, stdin=subprocess.DEVNULL,
                                  capture_output=True, timeout=20)
        except subprocess.TimeoutExpired:
            self.fail("expected Kalvo to end promptly with no display; still running after 20 s")
        took = time.monotonic() - started
        stderr = done.stderr.decode("utf-8", errors="replace")
        with open(artifact("no-display.stderr.txt"), "w", encoding="utf-8") as f:
            f.write(stderr)
        self.assertGreater(done.returncode, 0, "expected a non-zero exit status (not a signal); "
                           "got %d (stderr: %s)" % (done.returncode, stderr))
        self.assertIn("display", stderr.lower(),
                      "expected standard error to mention the display; got %r" % stderr)
        self.assertLess(took, 5.0, "expected Kalvo to end within 5 s; it took %.1f s" % took)


if __name__ == "__main__":
    run_tests()
