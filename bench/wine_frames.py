#!/usr/bin/env python3
"""The Windows build's figures under Wine: start-up, frame intervals, CPU.

    bench/wine_frames.py build/windows/platform/win32/kalvo.exe [RUNS [SECONDS]]

Starts kalvo.exe RUNS times (default 5) on a private Xvfb, each for SECONDS
(default 10) of idle spin. Frame times are Wine's own trace of each buffer
swap (WINEDEBUG=+timestamp,+wgl, whole milliseconds); the start is timed
from outside as well; the CPU is the process's utime + stime.
"""

import collections
import os
import re
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "scripts"))
from xvfb import xvfb_display  # noqa: E402
from proc_cpu import cpu_seconds  # noqa: E402

WINE_RUN = os.path.join(HERE, "..", "scripts", "wine-run")
SKIPPED_FRAMES = 5  # the first frames come from the first resize, off the schedule
FIRST_FRAME_S = 120  # the first run makes the Wine prefix, which takes a while


def one_run(program, env, seconds, log_path):
    with open(log_path, "wb") as log:
        started = time.monotonic()
        proc = subprocess.Popen([WINE_RUN, program], env=env, stdout=log, stderr=log)
        while b"wglSwapBuffers" not in open(log_path, "rb").read():
            ended = proc.poll() is not None
            if ended or time.monotonic() - started > FIRST_FRAME_S:
                proc.kill()
                proc.wait()
                tail = open(log_path, "rb").read().decode(errors="replace").splitlines()[-20:]
                why = ("ended with status %d" % proc.returncode if ended
                       else "drew no frame within %d s" % FIRST_FRAME_S)
                sys.exit("wine_frames: %s %s; it said:\n%s" % (program, why, "\n".join(tail)))
            time.sleep(0.002)
        to_first_frame = time.monotonic() - started
        time.sleep(1)
        cpu, wall = cpu_seconds(proc.pid), time.monotonic()
        time.sleep(seconds)
        cpu_share = (cpu_seconds(proc.pid) - cpu) / (time.monotonic() - wall)
        proc.terminate()
        proc.wait()
    stamps = [float(m.group(1)) for m in map(re.compile(r"\s*(\d+\.\d+):").match, open(log_path))
              if m]
    swaps = [float(line.split(":", 1)[0]) for line in open(log_path)
             if "wglSwapBuffers" in line and re.match(r"\s*\d+\.\d+:", line)]
    intervals = [round((b - a) * 1000) for a, b in zip(swaps, swaps[1:])][SKIPPED_FRAMES:]
    return to_first_frame, swaps[0] - stamps[0], cpu_share, intervals


def main():
    program = sys.argv[1]
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    seconds = float(sys.argv[3]) if len(sys.argv) > 3 else 10
    server, display = xvfb_display()
    env = dict(os.environ, DISPLAY=display, WINEDEBUG="+timestamp,+wgl")
    results = []
    try:
        with tempfile.TemporaryDirectory() as logs:
            for run in range(runs):
                results.append(one_run(program, env, seconds, os.path.join(logs, "%d.log" % run)))
    finally:
        server.terminate()
        server.wait()
    starts, own, cpu, _ = zip(*results)
    intervals = [i for result in results for i in result[3]]
    q = statistics.quantiles(intervals, n=20)
    print("start to first frame, from outside: median %.0f ms %s"
          % (statistics.median(starts) * 1000, [round(s * 1000) for s in starts]))
    print("  of which the process's own, first trace line to first swap: median %.0f ms %s"
          % (statistics.median(own) * 1000, [round(s * 1000) for s in own]))
    print("frame intervals: %d, median %.1f ms, 5th percentile %.1f, 95th %.1f"
          % (len(intervals), statistics.median(intervals), q[0], q[-1]))
    print("  ms: count %s" % sorted(collections.Counter(intervals).items()))
    print("CPU while idle: %s %% of one core" % [round(c * 100, 1) for c in cpu])


if __name__ == "__main__":
    main()
