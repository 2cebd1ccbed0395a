"""kalvo.exe under Wine, on its own Xvfb, seen as a user would: the window,
its icons and frames, a throw that comes to rest face up, a reset, Escape,
and the message box where there is no OpenGL."""

import collections
import os
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "display"))
from harness import (APP_TITLE, ARGS, MAIN_CAPTION, NEXT_FRAME_S, STILL_S,  # noqa: E402
                     Screen, main)
from test_throw import FACES_OF_TINT, throw, top_face  # noqa: E402

WINE_RUN = os.path.join(HERE, "..", "..", "scripts", "wine-run")
WINDOW_S = 60  # the first run makes the Wine prefix, which takes a while
SPIN_CHANGES = 20
SPIN_S = 15


class WineTest(unittest.TestCase):
    def start(self, *server_args):
        self.screen = Screen(*server_args)
        self.addCleanup(self.screen.close)
        return self.screen.start("kalvo" + "".join(server_args), [WINE_RUN, ARGS.program])

    def test_window_icons_throw_reset_and_escape(self):
        program = self.start()
        window = self.screen.wait_window(MAIN_CAPTION, WINDOW_S)
        self.assertIsNotNone(window, "expected the window; got none (%s)" % program.output())
        self.assertEqual(self.screen.size(window), (238, 189))
        self.assertIsNone(self.screen.icon_problem(window))
        changes = self.screen.count_changes(window, SPIN_CHANGES, SPIN_S)
        self.assertEqual(changes, SPIN_CHANGES, "expected the spinning die to change %d times "
                         "within %d s, never holding still for %.1f s; it changed %d times"
                         % (SPIN_CHANGES, SPIN_S, STILL_S, changes))

        self.screen.xdotool("windowsize", "--sync", window.id, 300, 300)  # pips big enough to count
        throw(self, self.screen, window)
        tint, pips, _ = top_face(self.screen.shot(window, "rest"))
        self.assertIn(pips, FACES_OF_TINT[tint], "expected a face up; saw %d pips" % pips)
        self.screen.click(window, 3)
        self.assertTrue(self.screen.changes(window, NEXT_FRAME_S),
                        "expected a right release to bring the spin back")
        self.screen.key(window, "Escape")
        self.assertEqual(program.wait(10), 0, program.output())

    def test_no_opengl_says_so_in_japanese_and_ends(self):
        program = self.start("-extension", "GLX")
        box = self.screen.wait_window(APP_TITLE, WINDOW_S)
        self.assertIsNotNone(box, "expected a box %r; got none (%s)" % (APP_TITLE, program.output()))
        self.assertEqual(self.screen.windows(MAIN_CAPTION), [], "expected no main window")
        self.assertIn("OpenGLの初期化に失敗しました。", program.output())
        # Without a font for them, every Japanese character is the same empty
        # box; the message has 17 different characters, one of them twice.
        ink = self.screen.shot(box, "no-glx-box").convert("L").point(lambda v: 255 * (v < 96))
        text = ink.crop((0, 0, ink.width, ink.height * 2 // 5))
        glyphs, run = collections.Counter(), []
        for x in range(text.width + 1):
            column = text.crop((x, 0, x + 1, text.height)).tobytes()
            if any(column):
                run.append(column)
            elif run:
                glyphs[b"".join(run)] += 1
                run = []
        self.assertTrue(len(glyphs) >= 14 and max(glyphs.values()) <= 2, "expected the message's "
                        "characters drawn distinctly; saw shapes drawn %s times"
                        % sorted(glyphs.values()))
        self.screen.key(box, "Return")
        self.assertEqual(program.wait(10), 1, program.output())


if __name__ == "__main__":
    main()
