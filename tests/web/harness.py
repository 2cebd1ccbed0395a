"""What the browser tests share: the site on a local static server, a headless
Chromium of its own, and a visitor's means of looking and poking. Frames are
counted where WebGL clears the picture; nothing of Kalvo's internals is used."""

import functools
import http.server
import io
import os
import re
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
from blackbox import (APP_TITLE, ARGS, MAIN_CAPTION, REST_S, kept, main, shots,  # noqa: E402,F401
                      still, wait_until)
from die_picture import check_face_up  # noqa: E402

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
# Nothing Chromium would fetch or sync on its own; WebGL in software, as without a GPU.
QUIET_FLAGS = ["--headless", "--no-sandbox", "--disable-background-networking",
               "--disable-component-update", "--disable-sync", "--no-first-run",
               "--disable-quic", "--disable-dev-shm-usage", "--enable-unsafe-swiftshader"]
MODIFIERS = {"alt": 1, "ctrl": 2, "meta": 4, "shift": 8}


class Site:
    """The built site on a static server of its own, on a port of its choosing."""

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
    """chromedriver at 127.0.0.1: selenium's "localhost" needs an /etc/hosts."""

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
        start = self.frames()
        return wait_until(lambda: self.frames() >= start + more, timeout)

    def visible(self, element_id):
        return self.js("var e = document.getElementById(arguments[0]);"
                       "return !!e && !e.closest('[hidden]') && e.getClientRects().length > 0",
                       element_id)

    def text(self, element_id):
        return self.js("return document.getElementById(arguments[0]).textContent", element_id)

    def canvas_centre(self):
        return self.js("var r = document.getElementById('picture1').getBoundingClientRect();"
                       "return [r.left + r.width / 2, r.top + r.height / 2]")

    def touch(self, at, kind, fingers):
        """A touch event the page sees at `at` (seconds since the epoch), of the
        fingers that go down, move or lift: {finger: (x, y) in CSS pixels}."""
        points = [{"id": finger, "x": x, "y": y} for finger, (x, y) in fingers.items()]
        self.cdp("Input.dispatchTouchEvent", type=kind, touchPoints=points, timestamp=at)

    def tap(self, hold_s, place=None):
        """One finger on the picture (or at `place`), lifted `hold_s` later."""
        place = place or self.canvas_centre()
        at = time.time()
        self.touch(at, "touchStart", {0: place})
        self.touch(at + hold_s, "touchEnd", {0: place})

    def press(self, button, down_at=None, up_at=None, pointer="mouse"):
        """`button` pressed and let go, at (x, y) in CSS pixels or the picture's middle."""
        centre = self.canvas_centre()
        for kind, (x, y) in (("mousePressed", down_at or centre),
                             ("mouseReleased", up_at or centre)):
            self.cdp("Input.dispatchMouseEvent", type=kind, x=x, y=y, button=button,
                     clickCount=1, pointerType=pointer)

    def key(self, key, code, key_code, modifiers=()):
        mask = sum(MODIFIERS[m] for m in modifiers)
        for kind in ("rawKeyDown", "keyUp"):
            self.cdp("Input.dispatchKeyEvent", type=kind, key=key, code=code,
                     windowsVirtualKeyCode=key_code, modifiers=mask)

    def shot(self, tag=None):
        """The picture as the screen shows it, in device pixels."""
        png = self.driver.find_element("id", "picture1").screenshot_as_png
        return kept(Image.open(io.BytesIO(png)).convert("RGB"), tag)

    def still(self, timeout):
        """(picture, when first seen) once at rest within timeout s, or None."""
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

    def spinning(self, browser):
        first = browser.shot().tobytes()
        return wait_until(lambda: browser.wait_frames(2) and browser.shot().tobytes() != first, 5)

    def thrown_to_rest(self, browser, how):
        """The picture at rest face up after `how`, the live region naming the face."""
        rest = browser.still(30)
        self.assertTrue(rest, "expected %s to throw the die, and it to rest" % how)
        pips = check_face_up(self, browser.shot(re.sub(r"\W+", "-", how)))
        self.assertEqual(wait_until(lambda: browser.text("face"), 5), "The die shows %d." % pips)
        return rest

    def picked_up(self, browser, how):
        self.assertTrue(self.spinning(browser), "expected %s to bring the spin back" % how)
        self.assertEqual(browser.text("face"), "", "expected the live region cleared")

    def not_thrown(self, browser, how):
        """More frames than a throw takes to rest, camera and all, and still spinning."""
        self.assertTrue(browser.wait_frames(130, timeout=60))
        self.assertTrue(self.spinning(browser), "expected %s not to throw the die" % how)
        self.assertEqual(browser.text("face"), "")

    def assert_frames_stop(self, browser, why):
        before = browser.frames()
        self.assertFalse(browser.wait_frames(1, timeout=1),
                         "expected no frame %s; %d came" % (why, browser.frames() - before))

