"""What the display tests share: a private Xvfb, the program under test on
it, and a user's means of looking at and poking its windows (python-xlib to
look, xdotool to type and click). It knows nothing of Kalvo's internals."""

import argparse
import contextlib
import os
import select
import subprocess
import sys
import tempfile
import time
import unittest

from PIL import Image
from Xlib import X, display as xdisplay, protocol

MAIN_CAPTION = "Kalvo 1.0.0"
APP_TITLE = "Kalvo"
ARGS = argparse.Namespace(program=None, artifacts=None)


def wait_until(condition, timeout, interval=0.05):
    """condition()'s first true value within timeout seconds, else its last."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value or time.monotonic() > deadline:
            return value
        time.sleep(interval)


class Program:
    """A process whose standard output and error go to a file among the artifacts."""

    def __init__(self, command, env, tag):
        self.log_path = os.path.join(ARGS.artifacts, tag + ".log")
        with open(self.log_path, "wb") as log:
            self.proc = subprocess.Popen(command, env=env, stdin=subprocess.DEVNULL,
                                         stdout=log, stderr=log)

    def running(self):
        return self.proc.poll() is None

    def wait(self, timeout):
        """Exit status, or None while it still runs after timeout seconds."""
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            return None

    def output(self):
        with open(self.log_path, "rb") as log:
            return log.read().decode("utf-8", errors="replace")

    def stop(self):
        if self.running():
            self.proc.terminate()
            if self.wait(3) is None:
                self.proc.kill()
                self.proc.wait()


class Screen:
    """An Xvfb of its own, on a display number it picks itself."""

    def __init__(self, *server_args):
        self.stack = contextlib.ExitStack()
        read_end, write_end = os.pipe()
        # -noreset: the server would otherwise reset each time its last client left.
        server = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0",
                                   "1024x768x24", "-nolisten", "tcp", "-noreset", *server_args],
                                  pass_fds=(write_end,), stderr=tempfile.TemporaryFile())
        self.stack.callback(lambda: (server.terminate(), server.wait()))
        os.close(write_end)
        number = b""
        while not number.endswith(b"\n") and select.select([read_end], [], [], 15)[0]:
            chunk = os.read(read_end, 16)
            number += chunk or b"\n"
        os.close(read_end)
        number = number.decode().strip()
        if not number:
            raise RuntimeError("Xvfb %s reported no display within 15 s" % " ".join(server_args))
        self.name = ":" + number
        self.env = dict(os.environ, DISPLAY=self.name)
        for variable in ("WAYLAND_DISPLAY", "SDL_VIDEODRIVER"):
            self.env.pop(variable, None)
        self.x = xdisplay.Display(self.name)
        self.stack.callback(self.x.close)

    def close(self):
        self.stack.close()

    def start(self, tag, command=None, env=None):
        """The program under test (or another command) on this screen."""
        program = Program(command or [ARGS.program], dict(self.env, **(env or {})), tag)
        self.stack.callback(program.stop)
        return program

    def windows(self, name):
        """Mapped top-level windows with this name."""
        found = []
        for window in self.x.screen().root.query_tree().children:
            try:
                title = window.get_full_text_property(self.x.intern_atom("_NET_WM_NAME"))
                title = title or window.get_wm_name()
                mapped = window.get_attributes().map_state == X.IsViewable
            except Exception:  # pylint: disable=broad-except  # gone meanwhile
                continue
            if mapped and title == name:
                found.append(window)
        return found

    def wait_window(self, name, timeout=15):
        found = wait_until(lambda: self.windows(name), timeout)
        return found[0] if found else None

    def size(self, window):
        geometry = window.get_geometry()
        return geometry.width, geometry.height

    def icon_problem(self, window):
        """What is wrong with the window's _NET_WM_ICON, or None: it should hold
        a 16 and a 32 pixel image of opaque black and yellow on clear."""
        values = window.get_full_property(self.x.intern_atom("_NET_WM_ICON"), 0).value
        sizes, i = [], 0
        while i < len(values):
            width, height = values[i], values[i + 1]
            pixels = set(values[i + 2:i + 2 + width * height])
            if not {0xFF000000, 0xFFFFFF00} <= pixels or all(p >> 24 for p in pixels):
                return "the %dx%d icon is not black and yellow on clear" % (width, height)
            sizes.append((width, height))
            i += 2 + width * height
        return None if sorted(sizes) == [(16, 16), (32, 32)] else "icon sizes %s" % sizes

    def shot(self, window, tag=None):
        """The window's pixels as an RGB image; saved among the artifacts if tagged."""
        width, height = self.size(window)
        raw = window.get_image(0, 0, width, height, X.ZPixmap, 0xFFFFFFFF).data
        image = Image.frombytes("RGB", (width, height), raw, "raw", "BGRX")
        if tag:
            image.save(os.path.join(ARGS.artifacts, tag + ".png"))
        return image

    def set_resources(self, text):
        """The screen's X resources, as "xrdb -merge" of text into none would
        leave them; programs read them when they connect."""
        root = self.x.screen().root
        root.change_property(self.x.intern_atom("RESOURCE_MANAGER"), self.x.intern_atom("STRING"),
                             8, text.encode())
        self.x.sync()

    def xdotool(self, *args):
        subprocess.run(["xdotool", *map(str, args)], env=self.env, check=True, timeout=20)

    def resize(self, window, width, height):
        """At the origin, so that the whole window lies on the screen."""
        self.xdotool("windowmove", "--sync", window.id, 0, 0)
        self.xdotool("windowsize", "--sync", window.id, width, height)

    def key(self, window, *keys):
        self.xdotool("windowfocus", "--sync", window.id)
        self.xdotool("key", *keys)

    def click(self, window, button, x=100, y=100):
        self.xdotool("mousemove", "--window", window.id, x, y, "click", button)

    def close_box(self, window):
        """What a window manager sends when the close box is clicked."""
        message = protocol.event.ClientMessage(
            window=window, client_type=self.x.intern_atom("WM_PROTOCOLS"),
            data=(32, [self.x.intern_atom("WM_DELETE_WINDOW"), X.CurrentTime, 0, 0, 0]))
        window.send_event(message)
        self.x.flush()


def main():
    """Runs the calling script's tests: --program PATH --artifacts DIR."""
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--artifacts", required=True)
    options, rest = parser.parse_known_args()
    ARGS.program, ARGS.artifacts = options.program, options.artifacts
    os.makedirs(ARGS.artifacts, exist_ok=True)
    unittest.main(argv=[sys.argv[0], "-v", *rest])
