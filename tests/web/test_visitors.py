"""Kalvo's page as its visitors meet it: a phone's taps and holds, a pen, the
press rule, the keyboard and what a screen reader is told, the phone's
layout, and a page that installs, runs under its content security policy,
works offline and updates whole."""

import os
import re
import shutil
import tempfile
import time

from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.keys import Keys

from harness import ARGS, PageTest, Site, main, wait_until
from die_picture import floor_box  # found through the harness

HOLD_S, TAP_S = 0.8, 0.05  # a hold is half a second or more
RECT = ("var r = document.getElementById('picture1').getBoundingClientRect();"
        "return [r.left, r.top, r.right, r.bottom, innerWidth, innerHeight, devicePixelRatio]")
BUFFER = "var c = document.getElementById('picture1'); return [c.width, c.height]"
# The version of each file the page runs, once all have run.
VERSIONS = ("var m = document.querySelector('meta[name=kalvo-test]'), found = [m && m.content,"
            "window.kalvoTestPage, getComputedStyle(document.body).getPropertyValue('--kalvo-test')"
            ".trim(), window.kalvoTestProgram, window.kalvoTestWasm];"
            "return found.every(Boolean) && found")
WASM_VERSION = """for (const name of ["instantiate", "instantiateStreaming"]) {
  const original = WebAssembly[name];
  WebAssembly[name] = function () {
    return original.apply(this, arguments).then((result) => {
      const [section] = WebAssembly.Module.customSections(result.module, "kalvo-test");
      window.kalvoTestWasm = new TextDecoder().decode(section);
      return result;
    });
  };
}"""


class VisitorTests(PageTest):
    def phone(self):
        browser = self.browser(width=360, height=740, scale=3, mobile=True)
        self.assertTrue(browser.wait_frames(3), "expected frames on the phone")
        return browser

    def offline(self, browser):
        self.site.close()
        browser.cdp("Network.enable")
        browser.cdp("Network.emulateNetworkConditions", offline=True, latency=0,
                    downloadThroughput=-1, uploadThroughput=-1)

    def test_a_tap_throws_a_hold_picks_up_and_a_second_finger_does_nothing(self):
        browser = self.phone()
        (x, y), at = browser.canvas_centre(), time.time()
        browser.touch(at, "touchStart", {0: (x, y)})
        browser.touch(at + 0.1, "touchStart", {0: (x, y), 1: (x + 40, y)})
        browser.touch(at + 0.15, "touchEnd", {1: (x + 40, y)})
        browser.touch(at + HOLD_S, "touchEnd", {0: (x, y)})
        self.not_thrown(browser, "a hold from idle, with a second finger's tap in it")
        browser.tap(TAP_S)
        self.thrown_to_rest(browser, "a tap")
        browser.tap(HOLD_S)
        self.picked_up(browser, "a press and hold")

    def test_the_press_rule_and_a_pen_s_barrel_button(self):
        browser = self.browser()
        self.assertTrue(browser.wait_frames(3))
        centre, outside = browser.canvas_centre(), (40, 500)
        browser.press("left", outside, centre)
        self.not_thrown(browser, "a press outside the picture let go over it")
        browser.press("left", centre, outside)
        self.thrown_to_rest(browser, "a press on the picture let go outside it")
        browser.press("right", centre, centre, pointer="pen")
        self.picked_up(browser, "the pen's barrel button")

    def test_the_keyboard_alone_throws_hears_the_face_and_picks_up(self):
        browser = self.browser()
        self.assertTrue(browser.wait_frames(3))
        tree = [n for n in browser.cdp("Accessibility.getFullAXTree")["nodes"] if not n["ignored"]]
        named = {(n["role"]["value"], n.get("name", {}).get("value", "").strip()) for n in tree}
        for node in (("image", "A six-sided die above a grey floor"), ("button", "Throw the die"),
                     ("button", "Pick the die up"), ("checkbox", "Fill the window")):
            self.assertIn(node, named)
        self.assertEqual(sum({"name": "live", "value": {"type": "token", "value": "polite"}}
                             in n.get("properties", ()) for n in tree), 1)

        def press(key, element_id):
            ActionChains(browser.driver).send_keys(key).perform()
            return browser.js("return document.activeElement.id") == element_id
        self.assertTrue(press(Keys.TAB, "throw") and press(Keys.ENTER, "throw"))
        self.thrown_to_rest(browser, "Enter on the throw button")
        self.assertTrue(press(Keys.TAB, "pick-up") and press(Keys.SPACE, "pick-up"))
        self.picked_up(browser, "Space on the pick-up button")

    def assert_box(self, browser, width=None):
        """The picture in the viewport, centred across it, in its proportions
        within 2 %, `width` wide, drawn at the device's scale."""
        left, top, right, bottom, view_width, view_height, scale = rect = browser.js(RECT)
        self.assertTrue(left >= 0 and top >= 0 and right <= view_width and bottom <= view_height
                        and abs(left - (view_width - right)) <= 1, rect)
        self.assertAlmostEqual((right - left) / (bottom - top) / (238 / 189), 1, delta=0.02)
        self.assertAlmostEqual(right - left, width or right - left, delta=1)
        self.assertEqual(browser.js(BUFFER), [round((right - left) * scale),
                                              round((bottom - top) * scale)])
        return top, view_height - bottom

    def test_the_phone_layout_idle_filled_and_narrow(self):
        browser = self.phone()
        self.assert_box(browser, width=238)
        browser.driver.save_screenshot(os.path.join(ARGS.artifacts, "phone-idle.png"))
        idle = floor_share(browser.shot())
        browser.driver.find_element("id", "fill").click()
        self.assertTrue(wait_until(lambda: browser.js(RECT)[2] > 359, 10), "expected it filled")
        above, below = self.assert_box(browser, width=360)
        self.assertAlmostEqual(above, below, delta=1, msg="expected it centred down the screen")
        browser.driver.save_screenshot(os.path.join(ARGS.artifacts, "phone-filled.png"))
        # The floor stands still while the die spins: where the viewport
        # follows the buffer, it is at the same share of it at any size.
        self.assertTrue(browser.wait_frames(2))
        filled = floor_share(browser.shot("phone-filled-picture"))
        for at_238, at_360 in zip(idle, filled):
            self.assertAlmostEqual(at_238, at_360, delta=0.01, msg="expected the floor at the same "
                                   "share of the picture: %s, then %s" % (idle, filled))
        browser.driver.find_element("id", "fill").click()
        browser.cdp("Emulation.setDeviceMetricsOverride", width=250, height=500,
                    deviceScaleFactor=3, mobile=True)
        self.assertTrue(wait_until(lambda: browser.js(RECT)[4] == 250, 10))
        self.assert_box(browser)
        self.assertLessEqual(browser.js("return document.documentElement.scrollWidth"), 250,
                             "expected no horizontal scroll")

    def test_installable_under_its_content_security_policy(self):
        browser = self.browser()
        browser.cdp("Page.addScriptToEvaluateOnNewDocument", source=(
            "window.kalvoTestViolations = []; document.addEventListener("
            "'securitypolicyviolation', e => kalvoTestViolations.push(e.violatedDirective))"))
        browser.driver.refresh()
        self.assertTrue(browser.wait_frames(3), "expected frames under the policy")
        errors = lambda: browser.cdp("Page.getInstallabilityErrors")["installabilityErrors"]
        self.assertTrue(wait_until(lambda: not errors(), 20), errors())
        self.assertEqual(browser.js("return kalvoTestViolations"), [])
        # The policy is in force: a script written into the page is refused.
        browser.js("var s = document.createElement('script');"
                   "s.textContent = 'window.kalvoTestInline = 1'; document.body.append(s)")
        self.assertTrue(wait_until(lambda: browser.js("return kalvoTestViolations.length"), 5))
        self.assertIsNone(browser.js("return window.kalvoTestInline"))

    def test_offline_after_one_visit_it_draws_and_a_tap_throws(self):
        browser = self.phone()
        self.assertTrue(wait_until(lambda: browser.js(
            "return !!navigator.serviceWorker.controller"), 20), "expected a service worker")
        self.offline(browser)
        browser.driver.refresh()
        self.assertTrue(browser.wait_frames(3), "expected frames offline")
        browser.tap(TAP_S)
        self.thrown_to_rest(browser, "a tap offline")

    def test_a_new_version_is_used_whole_by_the_next_load(self):
        served = tempfile.mkdtemp(prefix="kalvo-site-")
        self.addCleanup(shutil.rmtree, served)
        for version, age in (("v1", 120), ("v2", 60)):
            marked_site(os.path.join(served, version), version, time.time() - age)
        os.symlink("v1", os.path.join(served, "current"))
        self.site.close()
        self.site = Site(os.path.join(served, "current"))
        self.addCleanup(self.site.close)
        browser = self.browser()
        browser.cdp("Page.addScriptToEvaluateOnNewDocument", source=WASM_VERSION)
        caches = lambda: browser.js("return caches.keys()")

        def load():
            browser.driver.get(self.site.url)
            return wait_until(lambda: browser.js(VERSIONS), 20)
        self.assertEqual(load(), ["v1"] * 5)
        self.assertTrue(wait_until(lambda: caches() == ["kalvo-test-v1"], 150, 1), caches())
        os.symlink("v2", os.path.join(served, "next"))
        os.replace(os.path.join(served, "next"), os.path.join(served, "current"))
        self.assertIn(load(), (["v1"] * 5, ["v2"] * 5), "expected no load to mix versions")
        self.assertEqual(load(), ["v2"] * 5, "expected the new version by the second load")
        # Installing a worker takes headless Chromium 5 s to over a minute.
        self.assertTrue(wait_until(lambda: caches() == ["kalvo-test-v2"], 150, 1), caches())
        self.offline(browser)
        self.assertEqual(load(), ["v2"] * 5, "expected the new version offline")


def floor_share(shot):
    """The floor's bounds as shares of the picture's width and height."""
    box = floor_box(shot)
    return box and [edge / shot.size[i % 2] for i, edge in enumerate(box)]


def marked_site(folder, version, mtime):
    """The built site with each file the page runs marked with `version`, as
    a new build changes them, all changed at `mtime`."""
    shutil.copytree(ARGS.site, folder)
    for name, change in (
            ("index.html", lambda t: re.sub(r"\?v=(\w+)", r"?v=\1" + version, t).replace(
                "<head>", '<head><meta name="kalvo-test" content="%s">' % version)),
            ("page.js", lambda t: t + 'window.kalvoTestPage = "%s";' % version),
            ("page.css", lambda t: t + "body { --kalvo-test: %s; }" % version),
            ("kalvo.js", lambda t: t + ';window.kalvoTestProgram = "%s";' % version),
            ("sw.js", lambda t: re.sub(r"\?v=(\w+)", r"?v=\1" + version, re.sub(
                r'"kalvo-[^"]*"', '"kalvo-test-%s"' % version, t, 1)))):
        with open(os.path.join(folder, name), "r+", encoding="utf-8") as file:
            text = change(file.read())
            file.seek(0)
            file.write(text)
            file.truncate()
    section = b"\x0akalvo-test" + version.encode()  # a custom section: its name, then what it holds
    with open(os.path.join(folder, "kalvo.wasm"), "ab") as file:
        file.write(bytes([0, len(section)]) + section)
    for name in os.listdir(folder):
        os.utime(os.path.join(folder, name), (mtime, mtime))


if __name__ == "__main__":
    main("site", "artifacts")
