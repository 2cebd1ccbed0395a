"""What the browser tests share: Kalvo's site served for each test, and a
visitor's means of looking and poking in a headless Chromium; nothing of
Kalvo's internals is used."""

import io
import os
import re
import sys
import time
import unittest

from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path[:0] = [os.path.join(HERE, "..", "support"), os.path.join(HERE, "..", "..", "scripts")]
# pylint: disable=wrong-import-position,unused-import
from blackbox import (APP_TITLE, ARGS, MAIN_CAPTION, REST_S, kept, main, shots,  # noqa: E402,F401
                      still, wait_until)
from chromium import Chromium, Site  # noqa: E402
from die_picture import check_face_up  # noqa: E402

MODIFIERS = {"alt": 1, "ctrl": 2, "meta": 4, "shift": 8}


class Browser(Chromium):
    """Kalvo's page in a headless Chromium, and a visitor's means of looking and poking."""

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

