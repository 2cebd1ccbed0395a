"""Prints the browser build's figures, each with how it was measured:
    /usr/bin/python3 bench/web_figures.py SITE_DIR [LINUX_KALVO]
SITE_DIR is the built site (build/web/site); LINUX_KALVO, a Linux build of
the program, whose CPU while idle is measured in the same run for comparison.
The page runs in the tests' headless Chromium (SwiftShader's WebGL); the
Linux program on a private Xvfb with Mesa's llvmpipe. Nothing is timed with
fixed expectations: these are measurements, not tests."""

import gzip
import os
import statistics
import subprocess
import sys
import time

import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path[:0] = [HERE, os.path.join(HERE, "..", "tests", "web"), os.path.join(HERE, "..", "scripts")]
# pylint: disable=wrong-import-position
from harness import Browser, Site, wait_until  # noqa: E402
from proc_cpu import cpu_seconds  # noqa: E402
from xvfb import xvfb_display  # noqa: E402

IDLE_S = 10
WARMUP_S = 2
LOADS = 5


def descendants(pid):
    found, todo = [], [pid]
    while todo:
        parent = todo.pop()
        for task in os.listdir("/proc/%d/task" % parent) if os.path.isdir(
                "/proc/%d/task" % parent) else []:
            try:
                with open("/proc/%d/task/%s/children" % (parent, task), encoding="ascii") as f:
                    children = [int(c) for c in f.read().split()]
            except OSError:
                continue
            found += children
            todo += children
    return found


def cpu_share(pids, seconds):
    """The CPU the processes used over `seconds`, as a share of one core."""
    before = {pid: cpu_seconds(pid) for pid in pids}
    time.sleep(seconds)
    used = 0.0
    for pid, start in before.items():
        end = cpu_seconds(pid)
        if start is not None and end is not None:
            used += end - start
    return used / seconds


def sizes(site):
    print("Download (%s):" % site)
    for name in ("kalvo.wasm", "kalvo.js", "index.html"):
        with open(os.path.join(site, name), "rb") as f:
            raw = f.read()
        print("  %-10s %7d bytes, %7d gzipped (gzip -9)" % (name, len(raw),
                                                             len(gzip.compress(raw, 9))))


def browser_figures(site_dir):
    site = Site(site_dir)
    try:
        firsts = []
        for _ in range(LOADS):
            browser = Browser(site.url)
            try:
                wait_until(lambda b=browser: b.frames() > 0, 30)
                # performance.now() counts from the start of the navigation.
                firsts.append(browser.js("return kalvoTestFrames[0]"))
            finally:
                browser.close()
        print("Page load to first frame (navigation start to the first frame's clear, %d fresh "
              "loads from a local server): median %.0f ms, range %.0f-%.0f ms"
              % (LOADS, statistics.median(firsts), min(firsts), max(firsts)))

        browser = Browser(site.url)
        try:
            wait_until(lambda: browser.frames() > 0, 30)
            time.sleep(WARMUP_S)
            pids = descendants(browser.driver.service.process.pid)
            start = browser.frames()
            share = cpu_share(pids, IDLE_S)
            stamps = browser.js("return kalvoTestFrames")[start:]
        finally:
            browser.close()
        p5, p50, p95 = np.percentile(np.diff(stamps), [5, 50, 95])
        print("Frame intervals over %d s of the idle spin (%d frames): median %.2f ms, "
              "5th percentile %.2f ms, 95th percentile %.2f ms"
              % (IDLE_S, len(stamps), p50, p5, p95))
        print("CPU while idle, Chromium's %d processes (headless, SwiftShader WebGL): "
              "%.1f%% of one core" % (len(pids), 100 * share))
    finally:
        site.close()


def linux_figures(kalvo):
    server, display = xvfb_display()
    try:
        env = dict(os.environ, DISPLAY=display, LIBGL_ALWAYS_SOFTWARE="1",
                   SDL_VIDEODRIVER="x11")
        env.pop("WAYLAND_DISPLAY", None)
        program = subprocess.Popen([kalvo], env=env, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)
        try:
            time.sleep(WARMUP_S)
            share = cpu_share([program.pid], IDLE_S)
            print("CPU while idle, the Linux program (%s, Xvfb, llvmpipe): %.1f%% of one core"
                  % (kalvo, 100 * share))
        finally:
            program.terminate()
            program.wait()
    finally:
        server.terminate()
        server.wait()


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit("usage: bench/web_figures.py SITE_DIR [LINUX_KALVO]")
    sizes(sys.argv[1])
    browser_figures(sys.argv[1])
    if len(sys.argv) == 3:
        linux_figures(sys.argv[2])


if __name__ == "__main__":
    main()
