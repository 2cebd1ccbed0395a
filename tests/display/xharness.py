"""What the display tests share: a private Xvfb, the program under it, the
X tools that look at and poke its windows, screenshots read as RGB pixels,
and the scene's projection, so a test knows where on screen things belong.

Nothing here knows Kalvo's internals; it sees only what a user would.
"""

import contextlib
import ctypes
import ctypes.util
import math
import os
import re
import select
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import unittest
import zlib

MAIN_CAPTION = "Kalvo 1.0.0"
APP_TITLE = "Kalvo"
SCREEN = (1024, 768)

# Flat tints of the die and the floor, as they reach the screen with lighting off.
FLOOR_GREY = (128, 128, 128)
GREEN_TINT = (208, 255, 208)  # faces 1 and 6
RED_TINT = (255, 208, 208)  # faces 2 and 5
BLUE_TINT = (208, 208, 255)  # faces 3 and 4
TINT_NAMES = {GREEN_TINT: "green", RED_TINT: "red", BLUE_TINT: "blue"}
FACES_OF_TINT = {"green": (1, 6), "red": (2, 5), "blue": (3, 4)}


class Settings:
    """Filled in by run_tests from the command line."""
    kalvo = None
    artifacts = None


REQUIRED_TOOLS = ("Xvfb", "xdotool", "xwininfo", "xprop", "import")


def require_tools():
    missing = [t for t in REQUIRED_TOOLS if shutil.which(t) is None]
    if missing:
        sys.exit("display tests need %s (scripts/install-deps.sh installs them)"
                 % ", ".join(missing))


# --- processes -------------------------------------------------------------

_libc = ctypes.CDLL(ctypes.util.find_library("c"), use_errno=True)
_PR_SET_PDEATHSIG = 1


def _die_with_parent():
    # If CTest kills this script on a time-out, its children must not outlive it.
    _libc.prctl(_PR_SET_PDEATHSIG, signal.SIGTERM)


def _stop(proc, grace=3.0):
    if proc.poll() is not None:
        return
    proc.terminate()
    try:
        proc.wait(grace)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait()


@contextlib.contextmanager
def xvfb(*extra_args):
    """A fresh Xvfb on a display number it picks itself; yields ':N'."""
    read_end, write_end = os.pipe()
    # A file, not a pipe, for the server's messages: a full pipe would stall it.
    log = tempfile.TemporaryFile()
    proc = subprocess.Popen(
        # -noreset: otherwise the server resets whenever its last client leaves,
        # which each of the X tools' calls here is, and a program connecting
        # just then finds no server.
        ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "%dx%d" % SCREEN + "x24",
         "-nolisten", "tcp", "-noreset", *extra_args],
        pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=log,
        preexec_fn=_die_with_parent)
    os.close(write_end)
    try:
        number = b""
        deadline = time.monotonic() + 15
        while not number.endswith(b"\n"):
            left = deadline - time.monotonic()
            ready, _, _ = select.select([read_end], [], [], max(left, 0))
            chunk = os.read(read_end, 16) if ready else b""
            if not chunk:
                log.seek(0)
                raise RuntimeError("Xvfb %s did not report its display within 15 s: %s"
                                   % (" ".join(extra_args), log.read().decode(errors="replace")))
            number += chunk
        yield ":" + number.decode().strip()
    finally:
        os.close(read_end)
        _stop(proc)
        log.close()


class Program:
    """Kalvo running on one display; its standard error goes to a file kept with
    the screenshots."""

    def __init__(self, binary, display, log_path):
        self.log_path = log_path
        self._log = open(log_path, "wb")
        env = dict(os.environ, DISPLAY=display)
        env.pop("WAYLAND_DISPLAY", None)
        env.pop("SDL_VIDEODRIVER", None)
        self.proc = subprocess.Popen([binary], env=env, stdin=subprocess.DEVNULL,
                                     stdout=self._log, stderr=self._log,
                                     preexec_fn=_die_with_parent)

    def running(self):
        return self.proc.poll() is None

    def wait(self, timeout):
        """Exit status, or None if it is still running after timeout seconds."""
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            return None

    def output(self):
        self._log.flush()
        with open(self.log_path, "rb") as f:
            return f.read().decode("utf-8", errors="replace")

    def close(self):
        _stop(self.proc)
        self._log.close()


def start_kalvo(testcase, x, tag):
    """Kalvo on x's display, stopped (and its windows gone) when the test ends."""
    program = Program(Settings.kalvo, x.display, artifact(tag + ".stderr.txt"))
    testcase.addCleanup(x.wait_no_windows)
    testcase.addCleanup(program.close)
    return program


# --- X tools -----------------------------------------------------------------

class X:
    """The X command-line tools, aimed at one display."""

    def __init__(self, display):
        self.display = display
        self.env = dict(os.environ, DISPLAY=display)

    def run(self, *args, check=True):
        done = subprocess.run(args, env=self.env, capture_output=True, timeout=20)
        if check and done.returncode != 0:
            raise RuntimeError("%s failed (%d): %s" % (" ".join(args), done.returncode,
                                                       done.stderr.decode(errors="replace")))
        return done.stdout.decode("utf-8", errors="replace")

    def top_windows(self):
        """(id, name) of each child of the root. xwininfo reads UTF-8 names too,
        which xdotool's search misses."""
        out = self.run("xwininfo", "-root", "-children")
        found = []
        for m in re.finditer(r'^\s+(0x[0-9a-f]+) (?:"(.*)"|\(has no name\)):', out, re.M):
            found.append((int(m.group(1), 16), m.group(2)))
        return found

    def info(self, wid):
        out = self.run("xwininfo", "-id", str(wid), check=False)
        fields = dict(re.findall(r"^\s+([A-Za-z -]+):\s+(.*)$", out, re.M))
        return fields

    def viewable(self, wid):
        return self.info(wid).get("Map State") == "IsViewable"

    def visible_named(self, name):
        return [w for w, n in self.top_windows() if n == name and self.viewable(w)]

    def wait_window(self, name, timeout=15.0):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            wins = self.visible_named(name)
            if wins:
                return wins[0]
            time.sleep(0.05)
        return None

    def wait_no_windows(self, timeout=5.0):
        """After a program is stopped the server may still hold its windows for
        a moment; the next test must not mistake them for its own."""
        names = (MAIN_CAPTION, APP_TITLE)
        wait_until(lambda: not any(n in names for _, n in self.top_windows()), timeout)

    def geometry(self, wid):
        i = self.info(wid)
        return (int(i["Absolute upper-left X"]), int(i["Absolute upper-left Y"]),
                int(i["Width"]), int(i["Height"]))

    def prop(self, wid, *args):
        return self.run("xprop", "-id", str(wid), *args)

    def key(self, wid, *keys):
        self.run("xdotool", "windowfocus", "--sync", str(wid))
        self.run("xdotool", "key", *keys)

    def click(self, wid, x, y, button):
        # No --sync: it waits for the pointer to move, which it never does when
        # it is already there. The server keeps the move and the click in order.
        self.run("xdotool", "mousemove", "--window", str(wid), str(x), str(y),
                 "click", str(button))

    def move_resize(self, wid, width, height):
        # Kept at the origin so that the whole window lies on the screen and
        # can be captured.
        self.run("xdotool", "windowmove", "--sync", str(wid), "0", "0")
        self.run("xdotool", "windowsize", "--sync", str(wid), str(width), str(height))

    def screenshot(self, wid):
        data = subprocess.run(["import", "-window", str(wid), "-depth", "8", "ppm:-"],
                              env=self.env, capture_output=True, timeout=20, check=True).stdout
        return Image.from_ppm(data)

    def send_delete_window(self, wid):
        """What a window manager does when the close box is clicked: a
        WM_PROTOCOLS client message carrying WM_DELETE_WINDOW."""
        xlib = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
        xlib.XOpenDisplay.restype = ctypes.c_void_p
        xlib.XOpenDisplay.argtypes = [ctypes.c_char_p]
        xlib.XInternAtom.restype = ctypes.c_ulong
        xlib.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
        xlib.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                                    ctypes.c_void_p]
        xlib.XFlush.argtypes = [ctypes.c_void_p]
        xlib.XCloseDisplay.argtypes = [ctypes.c_void_p]

        class ClientMessage(ctypes.Structure):
            _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                        ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                        ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                        ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]

        class XEvent(ctypes.Union):
            _fields_ = [("xclient", ClientMessage), ("pad", ctypes.c_long * 24)]

        dpy = xlib.XOpenDisplay(self.display.encode())
        if not dpy:
            raise RuntimeError("cannot open display %s" % self.display)
        try:
            event = XEvent()
            event.xclient.type = 33  # ClientMessage
            event.xclient.window = wid
            event.xclient.message_type = xlib.XInternAtom(dpy, b"WM_PROTOCOLS", 0)
            event.xclient.format = 32
            event.xclient.data[0] = xlib.XInternAtom(dpy, b"WM_DELETE_WINDOW", 0)
            event.xclient.data[1] = 0  # CurrentTime
            if xlib.XSendEvent(dpy, wid, 0, 0, ctypes.byref(event)) == 0:
                raise RuntimeError("XSendEvent of WM_DELETE_WINDOW failed")
            xlib.XFlush(dpy)
        finally:
            xlib.XCloseDisplay(dpy)


def parse_net_wm_icon(xprop_output):
    """[(width, height, [argb, ...]), ...] from `xprop -notype -f _NET_WM_ICON 32c`."""
    _, _, values = xprop_output.partition("=")
    numbers = [int(v) for v in values.replace("\n", " ").split(",") if v.strip()]
    images, i = [], 0
    while i + 2 <= len(numbers):
        w, h = numbers[i], numbers[i + 1]
        pixels = numbers[i + 2:i + 2 + w * h]
        if w <= 0 or h <= 0 or len(pixels) != w * h:
            raise ValueError("malformed _NET_WM_ICON at value %d: %dx%d with %d pixels"
                             % (i, w, h, len(pixels)))
        images.append((w, h, pixels))
        i += 2 + w * h
    return images


# --- pictures ----------------------------------------------------------------

class Image:
    def __init__(self, width, height, rgb):
        self.width, self.height, self.rgb = width, height, rgb

    @classmethod
    def from_ppm(cls, data):
        m = re.match(rb"P6\s+(\d+)\s+(\d+)\s+(\d+)\s", data)
        if not m or m.group(3) != b"255":
            raise ValueError("not an 8-bit PPM: %r" % data[:20])
        w, h = int(m.group(1)), int(m.group(2))
        rgb = data[m.end():m.end() + 3 * w * h]
        if len(rgb) != 3 * w * h:
            raise ValueError("short PPM: %d of %d bytes" % (len(rgb), 3 * w * h))
        return cls(w, h, rgb)

    def __eq__(self, other):
        return isinstance(other, Image) and (self.width, self.height, self.rgb) == (
            other.width, other.height, other.rgb)

    def pixel(self, x, y):
        i = 3 * (y * self.width + x)
        return tuple(self.rgb[i:i + 3])

    def bbox(self, colour):
        """(left, top, right, bottom) inclusive of the pixels of one colour, or None."""
        key = bytes(colour)
        xs, ys = [], []
        row_bytes = 3 * self.width
        for y in range(self.height):
            row = self.rgb[y * row_bytes:(y + 1) * row_bytes]
            first = _find_pixel(row, key, 0, 1)
            if first < 0:
                continue
            last = _find_pixel(row, key, len(row) - 3, -1)
            xs += [first // 3, last // 3]
            ys.append(y)
        return (min(xs), min(ys), max(xs), max(ys)) if ys else None

    def save_png(self, path):
        raw = b"".join(b"\0" + self.rgb[y * 3 * self.width:(y + 1) * 3 * self.width]
                       for y in range(self.height))

        def chunk(kind, body):
            return (struct.pack(">I", len(body)) + kind + body
                    + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

        with open(path, "wb") as f:
            f.write(b"\x89PNG\r\n\x1a\n")
            f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", self.width, self.height, 8, 2, 0, 0, 0)))
            f.write(chunk(b"IDAT", zlib.compress(raw, 6)))
            f.write(chunk(b"IEND", b""))


def _find_pixel(row, key, start, step):
    # Pixel-aligned search: bytes.find alone could match across two pixels.
    if step > 0:
        i = row.find(key, start)
        while i >= 0 and i % 3:
            i = row.find(key, i + 1)
        return i
    i = row.rfind(key, 0, start + 3)
    while i >= 0 and i % 3:
        i = row.rfind(key, 0, i + 2)
    return i


# --- the scene's geometry, as a camera sees it ---------------------------------

IDLE_CAMERA = (-1.0, -6.0, -30.0, 5.0)  # ty, tz, turn about y, tilt about x
FINAL_CAMERA = (20 / 40 - 1, 20 / 7 - 6, 0.0, 20 / 0.5 + 5)
FLOOR_Y, FLOOR_HALF = -0.5, 1.5
REST_TOP_CENTRE = (0.1, 0.0, 0.4)  # the die's centre at rest is (0.1, -0.2, 0.4), half-edge 0.2


def to_window(point, camera, width, height):
    """Window pixel (x right, y down) of a scene point: the camera's tilt about
    x, its turn about y, its offset, then the fixed frustum (-1..1, near 2)."""
    ty, tz, ay, ax = camera
    x, y, z = point
    a = math.radians(ax)
    y, z = y * math.cos(a) - z * math.sin(a), y * math.sin(a) + z * math.cos(a)
    a = math.radians(ay)
    x, z = x * math.cos(a) + z * math.sin(a), -x * math.sin(a) + z * math.cos(a)
    y, z = y + ty, z + tz
    ndc_x, ndc_y = 2 * x / -z, 2 * y / -z
    return (ndc_x + 1) / 2 * width, (1 - ndc_y) / 2 * height


def floor_bbox(camera, width, height):
    corners = [to_window((sx * FLOOR_HALF, FLOOR_Y, sz * FLOOR_HALF), camera, width, height)
               for sx in (-1, 1) for sz in (-1, 1)]
    xs = [c[0] for c in corners]
    ys = [c[1] for c in corners]
    return min(xs), min(ys), max(xs), max(ys)


# --- reading the die ------------------------------------------------------------

def is_pip_colour(rgb):
    r, g, b = rgb
    return max(rgb) < 64 or (r > 192 and g < 64 and b < 64)


def is_red_pip(rgb):
    r, g, b = rgb
    return r > 192 and g < 64 and b < 64


def read_top_face(image, probes):
    """Reads the face on which the probe pixels lie (most of them; some may
    fall on pips): its tint, and its pips as enclosed dark or red blobs.
    Returns dict(tint=name or None, area=pixels, pips=[(area, red?)], holes_other=n)."""
    probes = [(int(round(x)), int(round(y))) for x, y in probes]
    probes = [(x, y) for x, y in probes if 0 <= x < image.width and 0 <= y < image.height]
    votes = {}
    for x, y in probes:
        c = image.pixel(x, y)
        if c in TINT_NAMES:
            votes[c] = votes.get(c, 0) + 1
    if not votes:
        return {"tint": None, "area": 0, "pips": [], "holes_other": 0}
    tint = max(votes, key=votes.get)

    # The face: the tint's pixels connected to the seed area. No visible
    # neighbour shares its tint (only the hidden bottom face does).
    face = set()
    stack = [p for p in probes if image.pixel(*p) == tint]
    while stack:
        p = stack.pop()
        if p in face:
            continue
        face.add(p)
        x, y = p
        for q in ((x + 1, y), (x - 1, y), (x, y + 1), (x, y - 1)):
            if (0 <= q[0] < image.width and 0 <= q[1] < image.height and q not in face
                    and image.pixel(*q) == tint):
                stack.append(q)

    # Holes: regions of other pixels that the face surrounds on every side.
    left = min(x for x, _ in face)
    right = max(x for x, _ in face)
    top = min(y for _, y in face)
    bottom = max(y for _, y in face)
    seen = set()
    pips, holes_other = [], 0
    for y in range(top, bottom + 1):
        for x in range(left, right + 1):
            if (x, y) in face or (x, y) in seen:
                continue
            region, enclosed, stack = [], True, [(x, y)]
            seen.add((x, y))
            while stack:
                px, py = stack.pop()
                region.append((px, py))
                for q in ((px + 1, py), (px - 1, py), (px, py + 1), (px, py - 1)):
                    if not (left <= q[0] <= right and top <= q[1] <= bottom):
                        enclosed = False
                    elif q not in face and q not in seen:
                        seen.add(q)
                        stack.append(q)
            if not enclosed or len(region) < 12:
                continue
            colours = [image.pixel(px, py) for px, py in region]
            pip_share = sum(1 for c in colours if is_pip_colour(c)) / len(colours)
            if pip_share >= 0.9:
                red = sum(1 for c in colours if is_red_pip(c)) > len(colours) / 2
                pips.append((len(region), red))
            else:
                holes_other += 1
    return {"tint": TINT_NAMES[tint], "area": len(face), "pips": pips, "holes_other": holes_other}


# --- waiting ------------------------------------------------------------------

def wait_until(condition, timeout, interval=0.05):
    """Polls condition() until it returns something true; returns that, or the
    last value once timeout seconds have passed."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value or time.monotonic() >= deadline:
            return value
        time.sleep(interval)


# --- running a test script --------------------------------------------------------

def run_tests():
    """Entry of each test script: --kalvo BINARY --artifacts DIR, then unittest's
    own arguments."""
    import argparse

    parser = argparse.ArgumentParser()
    parser.add_argument("--kalvo", required=True)
    parser.add_argument("--artifacts", required=True)
    args, rest = parser.parse_known_args()
    Settings.kalvo = os.path.abspath(args.kalvo)
    Settings.artifacts = os.path.abspath(args.artifacts)
    os.makedirs(Settings.artifacts, exist_ok=True)
    require_tools()
    unittest.main(module="__main__", argv=[sys.argv[0], "-v"] + rest)


def artifact(name):
    return os.path.join(Settings.artifacts, name)


class XvfbTestCase(unittest.TestCase):
    """A test class whose tests share one Xvfb, started before the first."""

    @classmethod
    def setUpClass(cls):
        cls.stack = contextlib.ExitStack()
        cls.x = X(cls.stack.enter_context(xvfb()))

    @classmethod
    def tearDownClass(cls):
        cls.stack.close()
