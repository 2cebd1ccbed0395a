"""What every black-box test shares, whatever it runs Kalvo in: the window's
words, what "at rest" means, waits for a condition up to a deadline (never a
fixed time), and being told where the program is and where to keep what it saw."""

import argparse
import os
import sys
import time
import unittest

MAIN_CAPTION = "Kalvo 1.0.0"
APP_TITLE = "Kalvo"
# What the script was told on its command line (main() fills it in).
ARGS = argparse.Namespace()

# The picture holds still from the throw's 120th frame (the die from the
# 100th, then the camera's 20): 119 intervals of at least 20 ms after the
# first, less 1 ms that rounding to whole ms may take off.
REST_FRAME = 120
REST_S = (REST_FRAME - 1) * 0.020 - 0.001
# At rest: the same picture in this many shots over this long. A busy machine
# once held a frame 1.5 s mid-throw.
STILL_S = 2.0
STILL_SHOTS = 5


def wait_until(condition, timeout, interval=0.05):
    """condition()'s first true value within timeout seconds, else its last."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value or time.monotonic() > deadline:
            return value
        time.sleep(interval)


def shots(take, timeout, interval):
    """(when, take()) for timeout seconds, stamped after taking: never early."""
    deadline = time.monotonic() + timeout
    while True:
        pixels = take()
        taken = time.monotonic()
        yield taken, pixels
        if taken > deadline:
            return
        time.sleep(interval)


def still(pictures):
    """(picture, when first seen) once the (when, picture) series holds still, or None."""
    picture, since, count = None, None, 0
    for taken, pixels in pictures:
        if pixels != picture:
            picture, since, count = pixels, taken, 0
        count += 1
        if count >= STILL_SHOTS and taken - since >= STILL_S:
            return picture, since
    return None


def kept(image, tag=None):
    """The image, saved among the artifacts as TAG.png if tagged."""
    if tag:
        image.save(os.path.join(ARGS.artifacts, tag + ".png"))
    return image


def run_unittests(argv):
    """unittest's main, verbose. A run of no test fails: Python 3.11 calls it "OK"."""
    result = unittest.main(argv=argv, verbosity=2, exit=False).result
    if not result.testsRun:
        print("expected at least one test to run; none did", file=sys.stderr)
        sys.exit(5)
    sys.exit(not result.wasSuccessful())


def main(*options):
    """Runs the calling script's tests with --OPTION VALUE for each option in
    ARGS (the artifacts folder made); the rest of the line goes to unittest."""
    parser = argparse.ArgumentParser()
    for option in options:
        parser.add_argument("--" + option.replace("_", "-"), required=True)
    known, rest = parser.parse_known_args()
    vars(ARGS).update(vars(known))
    if "artifacts" in options:
        os.makedirs(ARGS.artifacts, exist_ok=True)
    run_unittests([sys.argv[0], *rest])
