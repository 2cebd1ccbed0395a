#!/usr/bin/env python3
"""The real program under valgrind's memcheck: start, a throw, a reset, Escape.

Passes when memcheck reports no error and no definite leak in Kalvo's own
code (the system libraries' exit-time state is suppressed by name in
tests/sanitizers/valgrind.supp) and the program ends with status 0.
"""
import os
import subprocess
import sys
import time

KALVO, SUPPRESSIONS, OUT_DIR = sys.argv[1:4]


def start_xvfb():
    read_fd, write_fd = os.pipe()
    xvfb = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "800x600x24", "-nolisten", "tcp",
         "-noreset"],
        pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_fd)
    with os.fdopen(read_fd) as f:
        display = f.readline().strip()
    if not display:
        sys.exit("Xvfb did not start")
    return xvfb, ":" + display


def xdotool(env, *args):
    return subprocess.run(["xdotool", *args], env=env, capture_output=True, text=True).stdout


def main():
    os.makedirs(OUT_DIR, exist_ok=True)
    log_path = os.path.join(OUT_DIR, "memcheck.log")
    xvfb, display = start_xvfb()
    env = dict(os.environ, DISPLAY=display)
    env.pop("WAYLAND_DISPLAY", None)
    env.pop("LD_PRELOAD", None)  # valgrind brings its own; a sanitizer preload would clash
    kalvo = subprocess.Popen(
        ["valgrind", "--tool=memcheck", "--error-exitcode=99", "--leak-check=full",
         "--errors-for-leak-kinds=definite", "--keep-debuginfo=yes", "--num-callers=30",
         "--suppressions=" + SUPPRESSIONS, "--log-file=" + log_path, KALVO], env=env)
    try:
        window = ""
        deadline = time.monotonic() + 120
        while not window and time.monotonic() < deadline and kalvo.poll() is None:
            time.sleep(0.5)
            window = xdotool(env, "search", "--name", "^Kalvo 1.0.0$").split("\n")[0]
        if not window:
            sys.exit("the window did not appear under valgrind within 120 s")
        xdotool(env, "mousemove", "--window", window, "119", "94", "click", "1")
        time.sleep(6)  # the throw runs its course: rest, then the camera's move
        xdotool(env, "click", "3")
        time.sleep(2)
        xdotool(env, "key", "--window", window, "Escape")
        status = kalvo.wait(timeout=120)
    finally:
        if kalvo.poll() is None:
            kalvo.kill()
        xvfb.terminate()
        xvfb.wait()
    with open(log_path, encoding="utf-8", errors="replace") as f:
        log = f.read()
    summary = [line for line in log.splitlines() if "ERROR SUMMARY" in line or "definitely lost" in line]
    print("\n".join(summary))
    if status != 0:
        print(log[-6000:])
        sys.exit(f"expected exit status 0, got {status} (99 means memcheck found errors; see {log_path})")
    print("memcheck: clean")


main()
