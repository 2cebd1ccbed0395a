"""What every black-box test shares, whatever it runs Kalvo in: it waits for
the condition it checks, up to a deadline, never for a fixed time; and it is
told where the thing under test is and where to keep what it saw."""

import argparse
import os
import sys
import time
import unittest


def wait_until(condition, timeout, interval=0.05):
    """condition()'s first true value within timeout seconds, else its last."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value or time.monotonic() > deadline:
            return value
        time.sleep(interval)


def run_tests(args, subject):
    """Runs the calling script's tests: --SUBJECT PATH --artifacts DIR, kept
    in args for them."""
    parser = argparse.ArgumentParser()
    parser.add_argument("--" + subject, required=True)
    parser.add_argument("--artifacts", required=True)
    options, rest = parser.parse_known_args()
    setattr(args, subject, getattr(options, subject))
    args.artifacts = options.artifacts
    os.makedirs(args.artifacts, exist_ok=True)
    unittest.main(argv=[sys.argv[0], "-v", *rest])
