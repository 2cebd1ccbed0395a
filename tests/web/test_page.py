"""Kalvo in a real, headless Chromium, used as a visitor would: the page and
its picture at two device scales, the spin, a throw to rest and what the
live region says of it, the buttons that change nothing, a right release
that brings the spin back without a context menu, Escape, and the failures
the page must report: no WebGL, a lost context, an error that escapes."""

import os
import sys
import time

from harness import APP_TITLE, MAIN_CAPTION, REST_S, PageTest, main, wait_until

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "support"))
from die_picture import FACES_OF_TINT, top_face  # pylint: disable=wrong-import-position

GREY = (128, 128, 128)  # the floor


class PageTests(PageTest):
    def spinning(self, browser):
        first = browser.shot().tobytes()
        return wait_until(lambda: browser.wait_frames(2) and browser.shot().tobytes() != first, 5)

    def assert_frames_stop(self, browser, why):
        before = browser.frames()
        self.assertFalse(browser.wait_frames(1, timeout=1),
                         "expected no frame %s; %d came" % (why, browser.frames() - before))

    def test_page_and_picture_at_device_scales_1_and_1_5(self):
        floors = []
        for scale, buffer in ((1.0, [238, 189]), (1.5, [357, 284])):
            browser = self.browser(scale=scale)
            self.assertTrue(browser.wait_frames(3), "expected frames at scale %s" % scale)
            self.assertEqual(browser.driver.title, MAIN_CAPTION)
            size = browser.js("var c = document.getElementById('picture1');"
                              "return [c.clientWidth, c.clientHeight, c.width, c.height]")
            self.assertEqual(size, [238, 189, *buffer], "expected the CSS size, then the drawing "
                             "buffer's at scale %s" % scale)
            icons = browser.driver.execute_async_script(
                "var done = arguments[0];"
                "var links = [...document.querySelectorAll('link[rel=icon]')];"
                "Promise.all(links.map(l => fetch(l.href).then(r => r.status))).then(done)")
            self.assertTrue(icons and all(status == 200 for status in icons), icons)
            shot = browser.shot("scale-%s" % scale)
            self.assertEqual(list(shot.size), buffer)
            # The floor stands still while the die spins: as a share of the
            # picture, it is where it is at any scale if the viewport follows.
            grey = [(x, y) for y in range(shot.height) for x in range(shot.width)
                    if shot.getpixel((x, y)) == GREY]
            self.assertTrue(grey, "expected the floor in the picture at scale %s" % scale)
            floors.append([min(x for x, _ in grey) / shot.width, max(x for x, _ in grey) / shot.width,
                           min(y for _, y in grey) / shot.height])
            browser.close()
        for at_1, at_1_5 in zip(*floors):
            self.assertAlmostEqual(at_1, at_1_5, delta=0.01, msg="expected the floor's bounds at "
                                   "the same share of the picture: %s" % floors)

    def test_throw_rests_face_up_ignores_clicks_and_right_click_spins_again(self):
        browser = self.browser(width=480, height=480)
        browser.driver.find_element("id", "fill").click()
        self.assertTrue(wait_until(lambda: browser.shot().size == (480, 381), 10),
                        "expected the picture as wide as the window: %s" % (browser.shot().size,))
        browser.click("middle")
        self.assertTrue(self.spinning(browser), "expected the die to spin after a middle release")

        # Stamped before the release, so that the time taken is never short.
        clicked = time.monotonic()
        browser.click("left")
        rest = browser.still(30)
        self.assertTrue(rest, "expected the die to come to rest within 30 s of a left release")
        picture, since = rest
        self.assertGreaterEqual(since - clicked, REST_S, "expected rest no sooner than the "
                                "throw's frames allow")
        tint, pips, red = top_face(browser.shot("after-throw"))
        self.assertIn(pips, FACES_OF_TINT[tint], "expected the top side's tint %s to carry one "
                      "of faces %s; it shows %d pips" % (tint, FACES_OF_TINT[tint], pips))
        self.assertEqual(red, pips == 1, "expected red in the single pip of face 1 only")
        said = wait_until(lambda: browser.text("face"), 5)
        self.assertEqual(said, "The die shows %d." % pips)
        self.assertEqual(browser.js("return document.getElementById('face')"
                                    ".getAttribute('aria-live')"), "polite")

        for button in ("left", "middle"):
            browser.click(button)
            browser.wait_frames(10)
            self.assertEqual(browser.shot().tobytes(), picture,
                             "expected a %s release to change nothing at rest" % button)

        browser.js("window.kalvoTestMenus = [];"
                   "document.addEventListener('contextmenu', e => "
                   "kalvoTestMenus.push(e.defaultPrevented))")
        browser.click("right")
        self.assertTrue(self.spinning(browser), "expected a right release to bring the spin back")
        self.assertEqual(browser.js("return kalvoTestMenus"), [True],
                         "expected the one context menu over the picture to be held back")
        self.assertEqual(browser.text("face"), "", "expected the live region cleared")

    def test_escape_with_any_modifiers_closes_and_kalvo_starts_again(self):
        browser = self.browser()
        self.assertEqual(browser.js("var c = document.getElementById('picture1');"
                                    "return [c.getAttribute('role'), !!c.getAttribute('aria-label')]"),
                         ["img", True])
        self.assertTrue(browser.wait_frames(3))
        browser.key("q", "KeyQ", 81, ["ctrl"])
        self.assertTrue(browser.wait_frames(3), "expected other keys to change nothing")
        browser.key("Escape", "Escape", 27, ["ctrl", "alt", "shift"])
        self.assertTrue(wait_until(lambda: browser.visible("closed"), 5),
                        "expected the page to say Kalvo has closed")
        self.assertIn("Kalvo has closed", browser.text("closed"))
        self.assertFalse(browser.visible("picture1"))
        self.assert_frames_stop(browser, "after Escape")

        browser.driver.find_element("id", "restart").click()
        self.assertTrue(wait_until(lambda: browser.js("return !!window.kalvoTestFrames && "
                                                      "kalvoTestFrames.length > 2"), 20),
                        "expected frames again after starting Kalvo again")
        self.assertFalse(browser.visible("closed"))

    def test_no_webgl_says_so_and_draws_nothing(self):
        browser = self.browser(flags=["--disable-webgl", "--disable-3d-apis"])
        self.assertTrue(wait_until(lambda: browser.js("return document.getElementById("
                                                      "'message').open"), 20),
                        "expected a message box: %s" % browser.console())
        self.assertEqual(browser.text("message-text"), "OpenGLの初期化に失敗しました。")
        self.assertEqual(browser.text("message-title"), APP_TITLE)
        self.assertEqual(browser.frames(), 0)
        browser.driver.find_element("css selector", "#message button").click()
        self.assertTrue(wait_until(lambda: not browser.js("return document.getElementById("
                                                          "'message').open"), 5))
        self.assertTrue(browser.visible("closed"))

    def test_a_lost_context_stops_the_frames_and_says_so(self):
        browser = self.browser()
        self.assertTrue(browser.wait_frames(3))
        browser.js("document.getElementById('picture1').getContext('webgl')"
                   ".getExtension('WEBGL_lose_context').loseContext()")
        self.assertTrue(wait_until(lambda: browser.visible("closed"), 5),
                        "expected the page to say the context was lost")
        self.assertIn("lost", browser.text("closed-text"))
        self.assert_frames_stop(browser, "into a lost context")

    def test_an_error_that_escapes_is_reported_and_nothing_runs_after_it(self):
        browser = self.browser()
        self.assertTrue(browser.wait_frames(3))
        # What a WebGL call that fails in JavaScript does: an error through
        # the program's frames.
        browser.js("window.kalvoTestThrows = 0;"
                   "WebGLRenderingContext.prototype.clear = function () {"
                   "  kalvoTestThrows++; throw new Error('planted in clear'); }")
        self.assertTrue(wait_until(lambda: browser.js("return document.getElementById("
                                                      "'message').open"), 5),
                        "expected the error in a message box")
        self.assertIn("planted in clear", browser.text("message-text"))
        self.assertEqual(browser.text("message-title"), APP_TITLE)
        self.assertTrue(any("kalvo: " in line and "planted in clear" in line
                            for line in browser.console()), "expected the error on the log")
        self.assertIn("stopped", browser.text("closed-text"))
        browser.click("left")
        browser.click("right")
        self.assertFalse(wait_until(lambda: browser.js("return kalvoTestThrows") > 1, 1),
                         "expected no frame to be tried after the error")


if __name__ == "__main__":
    main("site", "artifacts")
