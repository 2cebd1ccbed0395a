"""A private Xvfb, the program on it, and a user's means of looking
(python-xlib) and poking (xdotool); nothing of Kalvo's internals."""

import contextlib
import os
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile

from PIL import Image
from Xlib import X, display as xdisplay, protocol

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path[:0] = [os.path.join(HERE, "..", "support"), os.path.join(HERE, "..", "..", "scripts")]
# pylint: disable=wrong-import-position,unused-import
from blackbox import (APP_TITLE, ARGS, MAIN_CAPTION, REST_FRAME, REST_S, STILL_S,  # noqa: E402,F401
                      kept, main, shots, still, wait_until)
from xvfb import nested_weston, xvfb_display  # noqa: E402

# Frames come every 20 ms at best: counting changes needs closer shots.
SHOT_S, COUNT_SHOT_S = 0.05, 0.01
# Changes that make a spin: a second's frames at the least.
SPIN_CHANGES = 20
# How long a test watches for something that must not happen.
QUIET_S = 1.0
# The next frame comes within this, however busy the machine.
NEXT_FRAME_S = 10


class Program:
    """A process whose output goes to a log among the artifacts."""

    def __init__(self, command, env, tag):
        self.log_path = os.path.join(ARGS.artifacts, tag + ".log")
        with open(self.log_path, "wb") as log:
            self.proc = subprocess.Popen(command, env=env, stdin=subprocess.DEVNULL,
                                         stdout=log, stderr=log)

    def running(self):
        return self.proc.poll() is None

    def wait(self, timeout):  # the exit status, or None if still running
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
        server, self.name = xvfb_display(*server_args)
        self.stack.callback(lambda: (server.terminate(), server.wait()))
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

    def wait_window(self, name, timeout=15, program=None):
        """The window; a test's failure, with the program's output, if none comes."""
        found = wait_until(lambda: self.windows(name), timeout)
        if not found:
            raise AssertionError("expected a window %r within %d s; got none (%s)" % (
                name, timeout, program.output() if program else "no program's output"))
        return found[0]

    def size(self, window):
        geometry = window.get_geometry()
        return geometry.width, geometry.height

    def icon_problem(self, window):
        """What is wrong with _NET_WM_ICON (16 and 32 px, black and yellow on clear), or None."""
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

    def shot(self, window, tag=None):  # saved among the artifacts if tagged
        width, height = self.size(window)
        raw = window.get_image(0, 0, width, height, X.ZPixmap, 0xFFFFFFFF).data
        return kept(Image.frombytes("RGB", (width, height), raw, "raw", "BGRX"), tag)

    def set_resources(self, text):  # read by programs as they connect, as xrdb sets them
        root = self.x.screen().root
        root.change_property(self.x.intern_atom("RESOURCE_MANAGER"), self.x.intern_atom("STRING"),
                             8, text.encode())
        self.x.sync()

    def shots(self, window, timeout, interval=SHOT_S, box=None):
        """(when, pixels) of the window, or a box in it, for timeout s."""
        def take():
            image = self.shot(window)
            return (image.crop(box) if box else image).tobytes()
        return shots(take, timeout, interval)

    def changes(self, window, timeout, box=None):
        shots = self.shots(window, timeout, box=box)
        first = next(shots)[1]
        return any(pixels != first for _, pixels in shots)

    def count_changes(self, window, wanted, timeout, box=None):
        """Changes of the picture up to wanted, stopping once it holds still for STILL_S."""
        seen, previous, since = 0, None, None
        for taken, pixels in self.shots(window, timeout, COUNT_SHOT_S, box):
            if pixels != previous:
                seen += previous is not None
                previous, since = pixels, taken
            elif taken - since >= STILL_S:
                break
            if seen >= wanted:
                break
        return seen

    def spin_problem(self, window, box=None, timeout=15):  # None if it spins
        changes = self.count_changes(window, SPIN_CHANGES, timeout, box)
        if changes == SPIN_CHANGES:
            return None
        return ("expected the spinning die to change %d times within %d s, never holding still "
                "for %.1f s; it changed %d times" % (SPIN_CHANGES, timeout, STILL_S, changes))

    def still(self, window, timeout, box=None):  # (picture, since) or None
        return still(self.shots(window, timeout, box=box))

    def xdotool(self, *args):
        subprocess.run(["xdotool", *map(str, args)], env=self.env, check=True, timeout=20)

    def resize(self, window, width, height):  # at the origin, all of it on the screen
        self.xdotool("windowmove", "--sync", window.id, 0, 0)
        self.xdotool("windowsize", "--sync", window.id, width, height)

    def key(self, window, *keys):
        self.xdotool("windowfocus", "--sync", window.id)
        self.xdotool("key", *keys)

    def click(self, window, button, x=100, y=100):
        self.xdotool("mousemove", "--window", window.id, x, y, "click", button)

    def close_box(self, window):  # as a window manager does when it is clicked
        message = protocol.event.ClientMessage(
            window=window, client_type=self.x.intern_atom("WM_PROTOCOLS"),
            data=(32, [self.x.intern_atom("WM_DELETE_WINDOW"), X.CurrentTime, 0, 0, 0]))
        window.send_event(message)
        self.x.flush()


class Weston:
    """A weston in a Screen's Xvfb, at a scale, maybe with XWayland; seen
    through its window there and its scene graph (weston-debug)."""

    # In logical pixels: within the Xvfb at scale 2, with room beside it.
    WIDTH, HEIGHT = 480, 360
    OUTPUT_CAPTION = "Weston Compositor - screen0"

    def __init__(self, screen, tag, scale, xwayland=False):
        self.screen, self.scale = screen, scale
        runtime_dir = tempfile.mkdtemp(prefix="kalvo-weston-")
        screen.stack.callback(shutil.rmtree, runtime_dir, ignore_errors=True)
        self.log_path = os.path.join(ARGS.artifacts, tag + "-weston.log")
        # --debug opens weston-debug's scene graph to clients.
        args = ["--scale=%d" % scale, "--width=%d" % self.WIDTH, "--height=%d" % self.HEIGHT,
                "--debug", "--log=" + self.log_path] + (["--xwayland"] if xwayland else [])
        with open(self.log_path + ".out", "wb") as out:
            server, socket = nested_weston(screen.name, runtime_dir, out, *args)
        screen.stack.callback(lambda: (server.terminate(), server.wait()))
        self.env = {"XDG_RUNTIME_DIR": runtime_dir, "WAYLAND_DISPLAY": socket}
        self.window = screen.wait_window(self.OUTPUT_CAPTION)
        # weston hands its windows the keyboard only while its own has the focus.
        screen.xdotool("windowfocus", "--sync", self.window.id)
        if xwayland:
            # Started on the first X client's connection.
            log = pathlib.Path(self.log_path)
            said = wait_until(lambda: re.search(r"xserver listening on display (:\d+)",
                                                log.read_text("utf-8", "replace")), 15)
            self.env["DISPLAY"] = said.group(1)

    def start(self, tag, env=None):
        return self.screen.start(tag, env=dict(self.env, **(env or {})))

    def toplevels(self):
        """{title: (role, app id, box in logical pixels)} of weston's windows."""
        dump = subprocess.run(["weston-debug", "scene-graph"],
                              env=dict(self.screen.env, **self.env), capture_output=True,
                              text=True, timeout=20, check=True).stdout
        return {title: (role, app_id, tuple(int(v) for v in box))
                for role, title, app_id, *box in re.findall(
                    r"\(role (\S+), PID \d+, surface ID \d+, top-level window '(.*)' of (.*),"
                    r" 0x[0-9a-f]+\):\n\s*position: \((-?\d+), (-?\d+)\) -> \((-?\d+), (-?\d+)\)",
                    dump)}

    def pixels(self, box):  # logical pixels to the output window's
        return tuple(edge * self.scale for edge in box)

    def shot(self, box, tag=None):
        return kept(self.screen.shot(self.window).crop(self.pixels(box)), tag)

    def click(self, x, y, button):
        """At a point in logical pixels, then off to the farthest corner, away
        from what a test reads. From outside: weston heeds it once it enters."""
        width, height = self.screen.size(self.screen.x.screen().root)
        away = max(((cx, cy) for cx in (1, self.WIDTH - 2) for cy in (1, self.HEIGHT - 2)),
                   key=lambda corner: abs(corner[0] - x) + abs(corner[1] - y))
        self.screen.xdotool("mousemove", width - 1, height - 1)
        self.screen.xdotool("mousemove", "--window", self.window.id, x * self.scale,
                            y * self.scale, "click", button, "mousemove", "--window",
                            self.window.id, away[0] * self.scale, away[1] * self.scale)

    def key(self, *keys):
        self.screen.xdotool("key", *keys)
