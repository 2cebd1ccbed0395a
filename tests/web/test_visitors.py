"""Kalvo's page as its visitors meet it: a phone's taps and holds, a pen, the
press rule with a mouse, a keyboard and what a screen reader is told, the
layout on a phone, and a page that installs, works offline, updates whole
and runs under its content security policy."""

import os
import re
import shutil
import sys
import tempfile
import time

from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.keys import Keys

import test_page
from harness import ARGS, PageTest, Site, main, wait_until

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "support"))
from die_picture import FACES_OF_TINT, top_face  # pylint: disable=wrong-import-position

HOLD_S = 0.8  # longer than the half second that makes a press and hold
TAP_S = 0.05
THROW_FRAMES = 130  # more than a throw takes to rest, the camera's move included
RATIO = 238 / 189
RECT = ("var r = document.getElementById('picture1').getBoundingClientRect();"
        "return [r.left, r.top, r.right, r.bottom, innerWidth, innerHeight]")


class VisitorTests(PageTest):
    still_picture = test_page.PageTests.still_picture
    spinning = test_page.PageTests.spinning

    def phone(self, **options):
        browser = self.browser(width=360, height=740, scale=3, mobile=True, **options)
        self.assertTrue(browser.wait_frames(3), "expected frames on the phone")
        return browser

    def thrown_to_rest(self, browser, how, tag):
        """The die thrown by `how` comes to rest face up, and the live region
        names the face the picture shows."""
        self.assertTrue(self.still_picture(browser, 20), "expected %s to throw the die "
                        "and the die to come to rest" % how)
        tint, pips, _ = top_face(browser.shot(tag))
        self.assertIn(pips, FACES_OF_TINT[tint], "expected a face up after %s" % how)
        self.assertEqual(wait_until(lambda: browser.text("face"), 5), "The die shows %d." % pips)

    def picked_up(self, browser, how):
        self.assertTrue(self.spinning(browser), "expected %s to bring the spin back" % how)
        self.assertEqual(browser.text("face"), "", "expected the live region cleared")

    def not_thrown(self, browser, how):
        """More frames than a throw takes to rest, and the die still spins."""
        self.assertTrue(browser.wait_frames(THROW_FRAMES, timeout=60))
        self.assertTrue(self.spinning(browser), "expected %s not to throw the die" % how)
        self.assertEqual(browser.text("face"), "")

    def test_a_tap_throws_a_hold_picks_up_and_a_second_finger_does_nothing(self):
        browser = self.phone()
        x, y = browser.canvas_centre()
        at = time.time()
        browser.touch(at, "touchStart", {0: (x, y)})
        browser.touch(at + 0.1, "touchStart", {0: (x, y), 1: (x + 40, y)})
        browser.touch(at + 0.15, "touchEnd", {1: (x + 40, y)})
        browser.touch(at + HOLD_S, "touchEnd", {0: (x, y)})
        self.not_thrown(browser, "a hold from idle, with a second finger's tap in it")
        browser.tap(TAP_S)
        self.thrown_to_rest(browser, "a tap", "phone-after-tap")
        browser.tap(HOLD_S)
        self.picked_up(browser, "a press and hold")

    def test_the_press_rule_and_a_pen_s_barrel_button(self):
        browser = self.browser()
        self.assertTrue(browser.wait_frames(3))
        centre, outside = browser.canvas_centre(), (40, 500)
        browser.press("left", outside, centre)
        self.not_thrown(browser, "a press outside the picture let go over it")
        browser.press("left", centre, outside)
        self.thrown_to_rest(browser, "a press on the picture let go outside it", "press-rule")
        browser.press("right", centre, centre, pointer="pen")
        self.picked_up(browser, "the pen's barrel button")

    def test_the_keyboard_alone_throws_hears_the_face_and_picks_up(self):
        browser = self.browser()
        self.assertTrue(browser.wait_frames(3))
        tree = browser.cdp("Accessibility.getFullAXTree")["nodes"]
        named = {(n["role"]["value"], n.get("name", {}).get("value")) for n in tree
                 if not n.get("ignored")}
        for node in (("image", "A six-sided die above a grey floor"), ("button", "Throw the die"),
                     ("button", "Pick the die up"), ("checkbox", "Fill the window")):
            self.assertIn(node, named)
        live = [n for n in tree for p in n.get("properties", ())
                if p["name"] == "live" and p["value"]["value"] == "polite"]
        self.assertEqual(len(live), 1, "expected one polite live region")

        def key_to(key, element_id):
            ActionChains(browser.driver).send_keys(key).perform()
            return browser.js("return document.activeElement.id") == element_id
        self.assertTrue(key_to(Keys.TAB, "throw"))
        key_to(Keys.ENTER, "throw")
        self.thrown_to_rest(browser, "Enter on the throw button", "keyboard-throw")
        self.assertTrue(key_to(Keys.TAB, "pick-up"))
        key_to(Keys.SPACE, "pick-up")
        self.picked_up(browser, "Space on the pick-up button")

    def assert_box(self, browser, what, width=None):
        """The picture inside the viewport and centred across it; `width` wide
        if given, in its own proportions within 2 %, drawn at the device's scale."""
        left, top, right, bottom, view_width, view_height = browser.js(RECT)
        self.assertTrue(left >= 0 and top >= 0 and right <= view_width and bottom <= view_height,
                        "expected the picture inside the viewport %s" % what)
        self.assertAlmostEqual(left, view_width - right, delta=1, msg="expected it centred " + what)
        self.assertAlmostEqual((right - left) / (bottom - top) / RATIO, 1, delta=0.02)
        if width:
            self.assertAlmostEqual(right - left, width, delta=1)
        buffer = browser.js("var c = document.getElementById('picture1'); return [c.width, c.height]")
        scale = browser.js("return devicePixelRatio")
        self.assertEqual(buffer, [round((right - left) * scale), round((bottom - top) * scale)])
        return top, bottom, view_height

    def test_the_phone_layout_idle_filled_and_narrow(self):
        browser = self.phone()
        self.assert_box(browser, "on the phone", width=238)
        browser.driver.save_screenshot(os.path.join(ARGS.artifacts, "phone-idle.png"))
        browser.driver.find_element("id", "fill").click()
        self.assertTrue(wait_until(lambda: browser.js(RECT)[2] - browser.js(RECT)[0] > 359, 10),
                        "expected the picture filled to the phone's width")
        top, bottom, height = self.assert_box(browser, "filled", width=360)
        self.assertAlmostEqual(top, height - bottom, delta=1, msg="expected it centred down")
        self.assertTrue(browser.wait_frames(3))
        browser.driver.save_screenshot(os.path.join(ARGS.artifacts, "phone-filled.png"))
        browser.driver.find_element("id", "fill").click()
        browser.cdp("Emulation.setDeviceMetricsOverride", width=250, height=500,
                    deviceScaleFactor=3, mobile=True)
        self.assertTrue(wait_until(lambda: browser.js(RECT)[4] == 250, 10))
        self.assert_box(browser, "on a screen 250 pixels wide")
        self.assertLessEqual(browser.js("return document.documentElement.scrollWidth"), 250,
                             "expected no horizontal scroll")

    def test_installable_under_its_content_security_policy(self):
        browser = self.browser()
        browser.cdp("Page.addScriptToEvaluateOnNewDocument", source=(
            "window.kalvoTestViolations = [];"
            "document.addEventListener('securitypolicyviolation', e => "
            "kalvoTestViolations.push(e.violatedDirective + ' ' + e.blockedURI));"))
        browser.driver.refresh()
        self.assertTrue(browser.wait_frames(3), "expected frames under the policy")
        errors = wait_until(lambda: not browser.cdp("Page.getInstallabilityErrors")[
            "installabilityErrors"], 20)
        self.assertTrue(errors, browser.cdp("Page.getInstallabilityErrors"))
        self.assertEqual(browser.js("return kalvoTestViolations"), [])
        # The policy is in force: a script written into the page does not run.
        browser.js("var s = document.createElement('script');"
                   "s.textContent = 'window.kalvoTestInline = 1'; document.body.append(s)")
        self.assertTrue(wait_until(lambda: browser.js("return kalvoTestViolations.length"), 5))
        self.assertIsNone(browser.js("return window.kalvoTestInline"))

    def test_offline_after_one_visit_it_draws_and_a_tap_throws(self):
        browser = self.phone()
        self.assertTrue(wait_until(lambda: browser.js(
            "return !!navigator.serviceWorker.controller"), 20), "expected a service worker")
        self.site.close()
        browser.cdp("Network.enable")
        browser.cdp("Network.emulateNetworkConditions", offline=True, latency=0,
                    downloadThroughput=-1, uploadThroughput=-1)
        browser.driver.refresh()
        self.assertTrue(browser.wait_frames(3), "expected frames offline")
        browser.tap(TAP_S)
        self.thrown_to_rest(browser, "a tap offline", "offline-tap")

    def test_a_new_version_is_used_whole_by_the_next_load(self):
        served = tempfile.mkdtemp(prefix="kalvo-site-")
        self.addCleanup(shutil.rmtree, served)
        for version, age in (("v1", 120), ("v2", 60)):
            marked_site(os.path.join(served, version), version, time.time() - age)
        current = os.path.join(served, "current")
        os.symlink("v1", current)
        self.site.close()
        self.site = Site(current)
        self.addCleanup(self.site.close)
        browser = self.browser()
        browser.cdp("Page.addScriptToEvaluateOnNewDocument", source=WASM_VERSION)

        def load():
            browser.driver.get(self.site.url)
            return wait_until(lambda: browser.js(VERSIONS), 20)
        self.assertEqual(load(), ["v1"] * 5)
        self.assertTrue(wait_until(lambda: browser.js(CACHES) == ["kalvo-test-v1"], 20))
        os.symlink("v2", current + ".new")
        os.replace(current + ".new", current)
        self.assertIn(load(), (["v1"] * 5, ["v2"] * 5), "expected no load to mix versions")
        self.assertEqual(load(), ["v2"] * 5, "expected the new version by the second load")
        self.assertTrue(wait_until(lambda: browser.js(CACHES) == ["kalvo-test-v2"], 20),
                        "expected the old cache replaced: %s" % browser.js(CACHES))
        self.site.close()
        browser.cdp("Network.enable")
        browser.cdp("Network.emulateNetworkConditions", offline=True, latency=0,
                    downloadThroughput=-1, uploadThroughput=-1)
        self.assertEqual(load(), ["v2"] * 5, "expected the new version offline")


# Which version each of the page's files came from, once all have run.
VERSIONS = """
var page = document.querySelector("meta[name=kalvo-test]");
var style = getComputedStyle(document.body).getPropertyValue("--kalvo-test").trim();
var found = [page && page.content, window.kalvoTestPage, style, window.kalvoTestProgram,
             window.kalvoTestWasm];
return found.every(Boolean) && found;
"""
CACHES = "return caches.keys()"
# Before any page script: the version in the program's WebAssembly.
WASM_VERSION = """
for (const name of ["instantiate", "instantiateStreaming"]) {
  const original = WebAssembly[name];
  WebAssembly[name] = function () {
    return original.apply(this, arguments).then((result) => {
      const [section] = WebAssembly.Module.customSections(result.module, "kalvo-test");
      window.kalvoTestWasm = new TextDecoder().decode(section);
      return result;
    });
  };
}
"""


def marked_site(folder, version, mtime):
    """The built site, with every file the page runs marked with `version`,
    a worker of that version, and every file changed at `mtime`, as a server
    tells when asked whether a file has changed."""
    shutil.copytree(ARGS.site, folder)

    def edit(name, change):
        path = os.path.join(folder, name)
        with open(path, encoding="utf-8") as file:
            text = file.read()
        with open(path, "w", encoding="utf-8") as file:
            file.write(change(text))
    edit("index.html", lambda t: re.sub(r"\?v=(\w+)", r"?v=\1" + version, t).replace(
        "<head>", '<head><meta name="kalvo-test" content="%s">' % version))
    edit("page.js", lambda t: t + 'window.kalvoTestPage = "%s";\n' % version)
    edit("page.css", lambda t: t + "body { --kalvo-test: %s; }\n" % version)
    edit("kalvo.js", lambda t: t + ';window.kalvoTestProgram = "%s";\n' % version)
    edit("sw.js", lambda t: re.sub(r'"kalvo-[^"]*"', '"kalvo-test-%s"' % version, t, count=1))
    name, payload = b"kalvo-test", version.encode()
    body = bytes([len(name)]) + name + payload
    with open(os.path.join(folder, "kalvo.wasm"), "ab") as file:
        file.write(bytes([0, len(body)]) + body)  # a custom section, one byte long sizes
    for name in os.listdir(folder):
        os.utime(os.path.join(folder, name), (mtime, mtime))


if __name__ == "__main__":
    main()
