"""The Debian package, built by CPack, checked as Debian and a desktop would:
lintian, AppStream, the menu entry, the icons."""

import configparser
import glob
import os
import re
import subprocess
import sys
import tempfile
import unittest

from PIL import Image

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from blackbox import run_unittests  # noqa: E402  pylint: disable=wrong-import-position

CPACK, CONFIG = sys.argv[1:3]
CLEAR, BLACK, YELLOW = (0, 0, 0, 0), (0, 0, 0, 255), (255, 255, 0, 255)


def run(*command):
    done = subprocess.run(command, capture_output=True, text=True)
    return done.returncode, done.stdout + done.stderr


class DebContents(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls._tmp = tempfile.TemporaryDirectory(prefix="kalvo-deb-")
        out = cls._tmp.name
        subprocess.run([CPACK, "--config", CONFIG, "-B", out], check=True, capture_output=True)
        (cls.deb,) = glob.glob(os.path.join(out, "*.deb"))
        cls.root = os.path.join(out, "root")
        subprocess.run(["dpkg-deb", "-x", cls.deb, cls.root], check=True)

    @classmethod
    def tearDownClass(cls):
        cls._tmp.cleanup()

    def path(self, relative):
        return os.path.join(self.root, relative)

    def test_lintian_finds_no_error_or_warning(self):
        _, out = run("lintian", self.deb)
        self.assertEqual(re.findall(r"^[EW]: .*", out, re.M), [], out)

    def test_appstream_data_and_the_desktop_entry_it_launches_validate(self):
        code, out = run("appstreamcli", "validate-tree", "--explain", "--no-net", self.root)
        self.assertEqual(code, 0, out)
        entry = self.path("usr/share/applications/kalvo.desktop")
        self.assertEqual(run("desktop-file-validate", entry), (0, ""))
        parser = configparser.ConfigParser(interpolation=None)
        parser.read(entry)
        keys = parser["Desktop Entry"]  # lintian checks that Exec names a binary in the package
        self.assertTrue(glob.glob(self.path(f"usr/share/icons/hicolor/*/apps/{keys['Icon']}.*")),
                        f"Icon={keys['Icon']} names no icon the package installs")

    def test_icons_png_and_svg_show_the_window_icon(self):
        pngs = {int(path.split(os.sep)[-3].split("x")[0]): path for path in
                glob.glob(self.path("usr/share/icons/hicolor/*x*/apps/kalvo.png"))}
        self.assertTrue(pngs, "no PNG icon in the package")
        for size, path in pngs.items():
            with self.subTest(size=size), Image.open(path) as image:
                self.assertEqual((image.size, image.mode), ((size, size), "RGBA"))
                self.assertLessEqual(set(image.getdata()), {CLEAR, BLACK, YELLOW})
        # The SVG as desktops render it (librsvg) at the largest PNG's size,
        # each pixel taken as the nearest icon colour: only edges may differ.
        size = max(pngs)
        with Image.open(pngs[size]) as png, tempfile.NamedTemporaryFile(suffix=".png") as out:
            expected = list(png.getdata())
            subprocess.run(["rsvg-convert", "-w", str(size), "-h", str(size), "-o", out.name,
                            self.path("usr/share/icons/hicolor/scalable/apps/kalvo.svg")],
                           check=True)
            with Image.open(out.name) as svg:
                drawn = list(svg.convert("RGBA").getdata())
        nearest = lambda p: min((CLEAR, BLACK, YELLOW),
                                key=lambda c: sum((a - b) ** 2 for a, b in zip(p, c)))
        differ = sum(nearest(p) != e for p, e in zip(drawn, expected))
        self.assertLess(differ, size * size // 20, f"{differ} of {size * size} pixels differ")


if __name__ == "__main__":
    run_unittests(sys.argv[:1] + sys.argv[3:])
