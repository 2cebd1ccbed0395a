"""What the browser tests share: the site served from a local static server,
a headless Chromium of its own to open it in, and a user's means of looking
at and poking the page (clicks, keys, screenshots). It knows nothing of
Kalvo's internals: frames are counted where WebGL clears its picture."""

import functools
import http.server
import io
import os
import shutil
import sys
import tempfile
import threading
import time
import unittest

from PIL import Image
from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common import utils as selenium_utils

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
# pylint: disable=wrong-import-position,unused-import
from blackbox import (APP_TITLE, ARGS, MAIN_CAPTION, REST_S, main, shots,  # noqa: E402,F401
                      still, wait_until)

# Before any page script: every frame begins with one clear of the picture.
FRAME_COUNTER = """
window.kalvoTestFrames = [];
if (typeof WebGLRenderingContext !== "undefined") {
  const clear = WebGLRenderingContext.prototype.clear;
  WebGLRenderingContext.prototype.clear = function (mask) {
    window.kalvoTestFrames.push(performance.now());
    return clear.call(this, mask);
  };
}
"""
# Chromium's share of a machine with no network: nothing it would fetch or
# sync on its own, and a profile that starts empty.
QUIET_FLAGS = ["--headless", "--no-sandbox", "--disable-background-networking",
               "--disable-component-update", "--disable-sync", "--no-first-run",
               "--disable-quic", "--disable-dev-shm-usage",
               # WebGL in software, as on a machine without a GPU
               "--enable-unsafe-swiftshader"]
MODIFIERS = {"alt": 1, "ctrl": 2, "meta": 4, "shift": 8}


class Site:
    """The built site on a static server of its own, on a port it picks itself."""

    def __init__(self, root):
        handler = functools.partial(QuietHandler, directory=root)
        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
        threading.Thread(target=self.server.serve_forever, daemon=True).start()
        self.url = "http://127.0.0.1:%d/" % self.server.server_address[1]

    def close(self):
        self.server.shutdown()
        self.server.server_close()


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


class LoopbackService(Service):
    """chromedriver, reached at 127.0.0.1: selenium's own "localhost" needs
    an /etc/hosts, which a bare system may lack."""

    @property
    def service_url(self):
        return "http://127.0.0.1:%d" % self.port

    def is_connectable(self):
        return selenium_utils.is_connectable(self.port, "127.0.0.1")


class Browser:
    """A headless Chromium showing the page at a given size and device scale."""

    def __init__(self, url, width=800, height=600, scale=1.0, flags=(), mobile=False):
        self.profile = tempfile.mkdtemp(prefix="kalvo-chromium-")
        options = webdriver.ChromeOptions()
        options.binary_location = shutil.which("chromium") or "/usr/bin/chromium"
        for flag in (*QUIET_FLAGS, "--user-data-dir=" + self.profile, *flags):
            options.add_argument(flag)
        options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
        service = LoopbackService(shutil.which("chromedriver") or "/usr/bin/chromedriver")
        self.driver = webdriver.Chrome(options=options, service=service)
        self.cdp("Emulation.setDeviceMetricsOverride", width=width, height=height,
                 deviceScaleFactor=scale, mobile=mobile)
        if mobile:  # a phone: touch only
            self.cdp("Emulation.setTouchEmulationEnabled", enabled=True, maxTouchPoints=5)
        self.cdp("Page.addScriptToEvaluateOnNewDocument", source=FRAME_COUNTER)
        self.driver.get(url)

    def close(self):
        if self.driver:
            self.driver.quit()
            self.driver = None
        shutil.rmtree(self.profile, ignore_errors=True)

    def cdp(self, command, **params):
        return self.driver.execute_cdp_cmd(command, params)

    def js(self, script, *args):
        return self.driver.execute_script(script, *args)

    def frames(self):
        """How many frames the page has drawn."""
        return self.js("return window.kalvoTestFrames.length")

    def wait_frames(self, more=1, timeout=20):
        """Whether `more` frames come within timeout seconds."""
        start = self.frames()
        return wait_until(lambda: self.frames() >= start + more, timeout)

    def visible(self, element_id):
        return self.js("var e = document.getElementById(arguments[0]);"
                       "return !!e && !e.closest('[hidden]') && e.getClientRects().length > 0",
                       element_id)

    def text(self, element_id):
        return self.js("return document.getElementById(arguments[0]).textContent", element_id)

    def canvas_centre(self):
        box = self.js("var r = document.getElementById('picture1').getBoundingClientRect();"
                      "return [r.left + r.width / 2, r.top + r.height / 2]")
        return box

    def click(self, button="left", modifiers=()):
        """A press and release of `button` over the middle of the picture."""
        x, y = self.canvas_centre()
        mask = sum(MODIFIERS[m] for m in modifiers)
        for kind in ("mousePressed", "mouseReleased"):
            self.cdp("Input.dispatchMouseEvent", type=kind, x=x, y=y, button=button,
                     clickCount=1, modifiers=mask)

    def touch(self, at, kind, fingers):
        """A touch event at time `at` (seconds since the epoch, which the page
        sees as the event's time): `fingers` maps each finger that goes down,
        moves or (touchEnd) lifts to its place, (x, y) in CSS pixels."""
        points = [{"id": finger, "x": x, "y": y} for finger, (x, y) in fingers.items()]
        self.cdp("Input.dispatchTouchEvent", type=kind, touchPoints=points, timestamp=at)

    def tap(self, hold_s, place=None):
        """One finger on the picture (or at `place`), lifted `hold_s` later."""
        place = place or self.canvas_centre()
        at = time.time()
        self.touch(at, "touchStart", {0: place})
        self.touch(at + hold_s, "touchEnd", {0: place})

    def press(self, button, down_at, up_at, pointer="mouse"):
        """`button` pressed at one place and let go at another, (x, y) in CSS pixels."""
        for kind, (x, y) in (("mousePressed", down_at), ("mouseReleased", up_at)):
            self.cdp("Input.dispatchMouseEvent", type=kind, x=x, y=y, button=button,
                     clickCount=1, pointerType=pointer)

    def key(self, key, code, key_code, modifiers=()):
        mask = sum(MODIFIERS[m] for m in modifiers)
        for kind in ("rawKeyDown", "keyUp"):
            self.cdp("Input.dispatchKeyEvent", type=kind, key=key, code=code,
                     windowsVirtualKeyCode=key_code, modifiers=mask)

    def shot(self, tag=None):
        """The picture as the screen shows it, in device pixels; saved among
        the artifacts if tagged."""
        png = self.driver.find_element("id", "picture1").screenshot_as_png
        image = Image.open(io.BytesIO(png)).convert("RGB")
        if tag:
            image.save(os.path.join(ARGS.artifacts, tag + ".png"))
        return image

    def still(self, timeout):
        """(picture, when first seen) once at rest, or None if not within
        timeout seconds."""
        return still(shots(lambda: self.shot().tobytes(), timeout, 0.05))

    def console(self):
        return [entry["message"] for entry in self.driver.get_log("browser")]


class PageTest(unittest.TestCase):
    """A test with the site served for it; browser() opens the page."""

    def setUp(self):
        self.site = Site(ARGS.site)
        self.addCleanup(self.site.close)

    def browser(self, **options):
        browser = Browser(self.site.url, **options)
        self.addCleanup(browser.close)
        return browser

