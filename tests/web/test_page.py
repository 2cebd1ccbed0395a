"""Kalvo in a real, headless Chromium, used as a visitor would: a throw to
rest, the buttons that change nothing, a right release that brings the spin
back without a context menu, Escape, and the failures the page reports: no
WebGL, a lost context, an error that escapes."""

import time

from harness import APP_TITLE, MAIN_CAPTION, REST_S, PageTest, main, wait_until


class PageTests(PageTest):
    def message_open(self, browser, timeout):
        return wait_until(lambda: browser.js("return document.getElementById('message').open"),
                          timeout)

    def test_throw_rests_face_up_ignores_clicks_and_right_click_spins_again(self):
        browser = self.browser(width=480, height=480)
        browser.driver.find_element("id", "fill").click()
        self.assertTrue(wait_until(lambda: browser.shot().size == (480, 381), 10),
                        "expected the picture as wide as the window: %s" % (browser.shot().size,))
        browser.press("middle")
        self.assertTrue(self.spinning(browser), "expected the die to spin after a middle release")
        clicked = time.monotonic()  # before the release, so that the time is never short
        browser.press("left")
        picture, since = self.thrown_to_rest(browser, "a left release")
        self.assertGreaterEqual(since - clicked, REST_S, "expected rest no sooner than the "
                                "throw's frames allow")
        self.assertEqual(browser.js("return document.getElementById('face')"
                                    ".getAttribute('aria-live')"), "polite")
        for button in ("left", "middle"):
            browser.press(button)
            browser.wait_frames(10)
            self.assertEqual(browser.shot().tobytes(), picture,
                             "expected a %s release to change nothing at rest" % button)
        browser.js("window.kalvoTestMenus = [];"
                   "document.addEventListener('contextmenu', e => "
                   "kalvoTestMenus.push(e.defaultPrevented))")
        browser.press("right")
        self.picked_up(browser, "a right release")
        self.assertEqual(browser.js("return kalvoTestMenus"), [True],
                         "expected the one context menu over the picture to be held back")

    def test_escape_closes_kalvo_starts_again_and_a_lost_context_stops_it(self):
        browser = self.browser()
        self.assertTrue(browser.wait_frames(3))
        self.assertEqual(browser.driver.title, MAIN_CAPTION)
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
        browser.js("document.getElementById('picture1').getContext('webgl')"
                   ".getExtension('WEBGL_lose_context').loseContext()")
        self.assertTrue(wait_until(lambda: "lost" in browser.text("closed-text"), 5),
                        "expected the page to say the context was lost")
        self.assertTrue(browser.visible("closed"))
        self.assert_frames_stop(browser, "into a lost context")

    def test_no_webgl_says_so_and_draws_nothing(self):
        browser = self.browser(flags=["--disable-webgl", "--disable-3d-apis"])
        self.assertTrue(self.message_open(browser, 20), "expected a box: %s" % browser.console())
        self.assertEqual(browser.text("message-text"), "OpenGLの初期化に失敗しました。")
        self.assertEqual(browser.text("message-title"), APP_TITLE)
        self.assertEqual(browser.frames(), 0)
        browser.driver.find_element("css selector", "#message button").click()
        self.assertTrue(wait_until(lambda: not self.message_open(browser, 0), 5))
        self.assertTrue(browser.visible("closed"))

    def test_an_error_that_escapes_is_reported_and_nothing_runs_after_it(self):
        browser = self.browser()
        self.assertTrue(browser.wait_frames(3))
        # As a WebGL call that fails in JavaScript: an error through the program's frames.
        browser.js("window.kalvoTestThrows = 0;"
                   "WebGLRenderingContext.prototype.clear = function () {"
                   "  kalvoTestThrows++; throw new Error('planted in clear'); }")
        self.assertTrue(self.message_open(browser, 5), "expected the error in a message box")
        self.assertIn("planted in clear", browser.text("message-text"))
        self.assertEqual(browser.text("message-title"), APP_TITLE)
        self.assertTrue(any("kalvo: " in line and "planted in clear" in line
                            for line in browser.console()), "expected the error on the log")
        self.assertIn("stopped", browser.text("closed-text"))
        browser.press("left")
        browser.press("right")
        self.assertFalse(wait_until(lambda: browser.js("return kalvoTestThrows") > 1, 1),
                         "expected no frame to be tried after the error")


if __name__ == "__main__":
    main("site", "artifacts")
