"""A private Xvfb on a display number it picks itself, and a weston nested in
it: the one starter for the display tests and the benchmarks. Standard library
only, so that the bench needs none of the tests' packages.

    xvfb.py [--screen WxHxD] [--weston ARGS] -- COMMAND [ARG...]

runs COMMAND with DISPLAY set to a fresh server and ends the server after;
with --weston, also with WAYLAND_DISPLAY and XDG_RUNTIME_DIR set to a weston
nested in it, started with those arguments besides its own."""

import argparse
import os
import select
import subprocess
import sys
import tempfile
import time

START_S = 15


def xvfb_display(*server_args, screen="1024x768x24"):
    """(server process, display name such as ":1"); raises if none comes."""
    read_end, write_end = os.pipe()
    with tempfile.TemporaryFile() as errors:
        # -noreset: the server would otherwise reset each time its last client left.
        server = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", screen,
                                   "-nolisten", "tcp", "-noreset", *server_args],
                                  pass_fds=(write_end,), stderr=errors)
        os.close(write_end)
        number = b""
        try:
            while not number.endswith(b"\n") and select.select([read_end], [], [], START_S)[0]:
                chunk = os.read(read_end, 16)
                number += chunk or b"\n"
        finally:
            os.close(read_end)
        number = number.decode().strip()
        if not number:
            server.terminate()
            server.wait()
            errors.seek(0)
            raise RuntimeError("Xvfb %s reported no display within %d s: %s"
                               % (" ".join(server_args), START_S,
                                  errors.read().decode(errors="replace").strip()
                                  or "it said nothing"))
    return server, ":" + number


def nested_weston(x_display, runtime_dir, log, *weston_args):
    """(weston process, socket name) for a weston of its own in an X display:
    its x11 backend, whose seat takes the X server's pointer and keyboard as a
    user's, drawn with pixman. Its socket goes in runtime_dir (a private
    directory, as XDG_RUNTIME_DIR must be); log is a file for its output.
    Raises if the socket does not come."""
    socket = "kalvo-weston"
    env = dict(os.environ, DISPLAY=x_display, XDG_RUNTIME_DIR=runtime_dir)
    env.pop("WAYLAND_DISPLAY", None)
    server = subprocess.Popen(["weston", "--backend=x11-backend.so", "--use-pixman",
                               "--socket=" + socket, *weston_args],
                              env=env, stdin=subprocess.DEVNULL, stdout=log, stderr=log)
    # weston serves clients only once its shell is loaded, and a client that
    # connects earlier waits for it: the socket is enough.
    deadline = time.monotonic() + START_S
    while not os.path.exists(os.path.join(runtime_dir, socket)):
        if server.poll() is not None or time.monotonic() > deadline:
            server.terminate()
            server.wait()
            raise RuntimeError("weston %s made no socket within %d s (its log: %s)"
                               % (" ".join(weston_args), START_S, log.name))
        time.sleep(0.05)
    return server, socket


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--screen", default="1024x768x24")
    parser.add_argument("--weston", metavar="ARGS", help="weston's arguments, in one")
    parser.add_argument("command", nargs="+")
    options = parser.parse_args()
    server, name = xvfb_display(screen=options.screen)
    weston = None
    try:
        env = dict(os.environ, DISPLAY=name)
        env.pop("WAYLAND_DISPLAY", None)
        with tempfile.TemporaryDirectory() as runtime_dir:
            if options.weston is not None:
                with open(os.path.join(runtime_dir, "weston.log"), "wb") as log:
                    weston, socket = nested_weston(name, runtime_dir, log,
                                                   *options.weston.split())
                env.update(WAYLAND_DISPLAY=socket, XDG_RUNTIME_DIR=runtime_dir)
            return subprocess.call(options.command, env=env)
    finally:
        for process in filter(None, (weston, server)):
            process.terminate()
            process.wait()


if __name__ == "__main__":
    sys.exit(main())
