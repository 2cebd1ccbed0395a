"""The real window under Xvfb: its caption, size and icons, frames that keep
coming while idle, a picture that follows the window's size, and the ways of
closing it."""

import time

from xharness import (XvfbTestCase, FLOOR_GREY, IDLE_CAMERA, MAIN_CAPTION, artifact, floor_bbox,
                      parse_net_wm_icon, run_tests, start_kalvo, wait_until)

# Within this many pixels (plus 1 % of the size) the floor sits where the
# projection puts it: the rasteriser's edge rules, not the test, set this.
FLOOR_SLACK_PX = 2


class WindowTest(XvfbTestCase):
    def launch(self, tag):
        """Starts Kalvo and waits for its first frame; the caller closes it."""
        program = start_kalvo(self, self.x, tag)
        wid = self.x.wait_window(MAIN_CAPTION)
        self.assertIsNotNone(wid, "expected a window titled %r within 15 s; got none (program %s; "
                             "stderr: %s)" % (MAIN_CAPTION, "running" if program.running()
                                              else "exited %s" % program.proc.returncode,
                                              program.output()))
        # The first frame comes with the first resize; wait until it is on screen.
        shown = wait_until(lambda: self.x.screenshot(wid).bbox(FLOOR_GREY), 10)
        self.assertTrue(shown, "expected the grey floor on screen within 10 s; saw none")
        return program, wid

    def assert_floor_fills(self, wid, width, height, tag):
        expected = floor_bbox(IDLE_CAMERA, width, height)

        def fits():
            shot = self.x.screenshot(wid)
            box = shot.bbox(FLOOR_GREY) if (shot.width, shot.height) == (width, height) else None
            ok = box is not None and all(
                abs(got - want) <= FLOOR_SLACK_PX + 0.01 * size
                for got, want, size in zip(box, expected, (width, height, width, height)))
            return ok, shot, box

        ok, shot, box = fits()
        deadline = time.monotonic() + 5
        while not ok and time.monotonic() < deadline:
            time.sleep(0.1)
            ok, shot, box = fits()
        shot.save_png(artifact("floor-%s.png" % tag))
        self.assertTrue(ok, "at client area %dx%d expected the floor's box (left, top, right, "
                        "bottom) near (%.1f, %.1f, %.1f, %.1f); got a %dx%d picture with box %s"
                        % ((width, height) + expected + (shot.width, shot.height, box)))

    def test_caption_size_and_icons(self):
        _, wid = self.launch("caption")
        for prop in ("WM_NAME", "_NET_WM_NAME"):
            value = self.x.prop(wid, "-notype", prop).strip()
            self.assertEqual(value, '%s = "%s"' % (prop, MAIN_CAPTION),
                             "expected %s %r; got %r" % (prop, MAIN_CAPTION, value))
        size = self.x.geometry(wid)[2:]
        self.assertEqual(size, (238, 189), "expected a client area of 238x189; got %dx%d" % size)

        images = parse_net_wm_icon(self.x.prop(wid, "-notype", "-f", "_NET_WM_ICON", "32c",
                                               "_NET_WM_ICON"))
        sizes = sorted((w, h) for w, h, _ in images)
        self.assertEqual(sizes, [(16, 16), (32, 32)],
                         "expected _NET_WM_ICON to carry a 16x16 and a 32x32 image; got %s" % sizes)
        for w, h, pixels in images:
            # ARGB: a black disc with yellow wedges on a transparent ground.
            black = sum(1 for p in pixels if p == 0xFF000000)
            yellow = sum(1 for p in pixels if p >> 24 == 0xFF and (p >> 16) & 0xFF > 192
                         and (p >> 8) & 0xFF > 192 and p & 0xFF < 64)
            clear = sum(1 for p in pixels if p >> 24 == 0)
            self.assertTrue(black and yellow and clear,
                            "expected the %dx%d icon to hold opaque black, opaque yellow and "
                            "transparent pixels; got %d, %d and %d of them"
                            % (w, h, black, yellow, clear))

    def test_idle_frames_keep_coming(self):
        _, wid = self.launch("idle")
        shots = []
        for _ in range(6):
            shots.append(self.x.screenshot(wid))
            time.sleep(0.15)
        shots[0].save_png(artifact("idle-first.png"))
        shots[-1].save_png(artifact("idle-last.png"))
        same = [i for i in range(1, len(shots)) if shots[i] == shots[i - 1]]
        self.assertEqual(same, [], "expected every screenshot, 150 ms apart, to differ from the "
                         "one before while the die spins; screenshots %s repeated the previous "
                         "one" % same)

    def test_picture_follows_window_size(self):
        _, wid = self.launch("resize")
        self.assert_floor_fills(wid, 238, 189, "start")
        for width, height in ((476, 378), (400, 520), (238, 189)):
            self.x.move_resize(wid, width, height)
            self.assert_floor_fills(wid, width, height, "%dx%d" % (width, height))

    def test_escape_closes_whatever_modifiers(self):
        for keys in ("Escape", "shift+Escape", "ctrl+Escape", "alt+Escape"):
            with self.subTest(keys=keys):
                program, wid = self.launch(keys.replace("+", "-"))
                try:
                    if keys == "Escape":
                        # Other keys do nothing.
                        self.x.key(wid, "a", "Return", "space", "F1", "shift+a")
                        time.sleep(0.3)
                        self.assertTrue(program.running(), "expected Kalvo to keep running after "
                                        "keys other than Escape; it exited with %s"
                                        % program.proc.returncode)
                    self.x.key(wid, keys)
                    status = program.wait(5)
                    self.assertEqual(status, 0, "expected exit status 0 within 5 s of %s; got %s "
                                     "(stderr: %s)" % (keys, status, program.output()))
                    self.assertEqual(self.x.visible_named(MAIN_CAPTION), [],
                                     "expected no %r window left after %s" % (MAIN_CAPTION, keys))
                finally:
                    # The next launch must not find this window.
                    program.close()
                    self.x.wait_no_windows()

    def test_close_box_closes(self):
        program, wid = self.launch("close-box")
        self.x.send_delete_window(wid)
        status = program.wait(5)
        self.assertEqual(status, 0, "expected exit status 0 within 5 s of WM_DELETE_WINDOW; got "
                         "%s (stderr: %s)" % (status, program.output()))


if __name__ == "__main__":
    run_tests()
