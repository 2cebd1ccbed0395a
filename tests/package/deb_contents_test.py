#!/usr/bin/env python3
"""Builds Kalvo's Debian package with CPack from a built tree, unpacks it and
checks what a desktop needs from it: a runnable binary, a valid menu entry
that points at it, icons it can find, and dependencies that were computed."""

import argparse
import configparser
import glob
import os
import re
import stat
import struct
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ElementTree
import zlib

ARGS = None

CLEAR, BLACK, YELLOW = (0, 0, 0, 0), (0, 0, 0, 255), (255, 255, 0, 255)


def run(*command):
    return subprocess.run(command, check=True, capture_output=True, text=True).stdout


def read_png(path):
    """Returns (width, height, colour type, rows of RGBA tuples) of an 8-bit PNG."""
    with open(path, "rb") as f:
        data = f.read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", f"{path}: not a PNG signature: {data[:8]!r}"
    at, chunks = 8, {}
    while at < len(data):
        (length,) = struct.unpack(">I", data[at:at + 4])
        kind, body = data[at + 4:at + 8], data[at + 8:at + 8 + length]
        (crc,) = struct.unpack(">I", data[at + 8 + length:at + 12 + length])
        assert zlib.crc32(kind + body) == crc, f"{path}: bad CRC in {kind!r} chunk"
        chunks[kind] = chunks.get(kind, b"") + body
        at += 12 + length
    width, height, depth, colour_type = struct.unpack(">IIBB", chunks[b"IHDR"][:10])
    if colour_type != 6 or depth != 8:
        return width, height, colour_type, None
    raw, stride, rows, prev = zlib.decompress(chunks[b"IDAT"]), width * 4, [], bytes(width * 4)
    for y in range(height):
        line = raw[y * (stride + 1):(y + 1) * (stride + 1)]
        kind, cur = line[0], bytearray(line[1:])
        for i in range(stride):
            a, b = (cur[i - 4] if i >= 4 else 0), prev[i]
            c = prev[i - 4] if i >= 4 else 0
            p = a + b - c
            paeth = min((abs(p - a), 0, a), (abs(p - b), 1, b), (abs(p - c), 2, c))[2]
            cur[i] = (cur[i] + (0, a, b, (a + b) // 2, paeth)[kind]) & 0xFF
        rows.append([tuple(cur[i:i + 4]) for i in range(0, stride, 4)])
        prev = bytes(cur)
    return width, height, colour_type, rows


class DebContents(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls._tmp = tempfile.TemporaryDirectory(prefix="kalvo-deb-")
        out = cls._tmp.name
        run(ARGS.cpack, "--config", ARGS.config, "-B", out)
        debs = glob.glob(os.path.join(out, "*.deb"))
        assert len(debs) == 1, f"expected one .deb from cpack, got {debs}"
        cls.deb = debs[0]
        cls.root = os.path.join(out, "root")
        run("dpkg-deb", "-x", cls.deb, cls.root)

    @classmethod
    def tearDownClass(cls):
        cls._tmp.cleanup()

    def path(self, relative):
        return os.path.join(self.root, relative)

    def field(self, name):
        return run("dpkg-deb", "-f", self.deb, name).strip()

    def test_binary_is_an_executable_elf(self):
        binary = self.path("usr/bin/kalvo")
        self.assertTrue(os.path.isfile(binary), "usr/bin/kalvo missing from the package")
        mode = os.stat(binary).st_mode
        self.assertEqual(mode & 0o111, 0o111, f"usr/bin/kalvo mode {stat.filemode(mode)}, want a+x")
        with open(binary, "rb") as f:
            self.assertEqual(f.read(4), b"\x7fELF", "usr/bin/kalvo is not an ELF file")

    def test_desktop_entry_is_valid_and_points_into_the_package(self):
        entry = self.path("usr/share/applications/kalvo.desktop")
        self.assertTrue(os.path.isfile(entry), "kalvo.desktop missing from the package")
        check = subprocess.run(["desktop-file-validate", entry], capture_output=True, text=True)
        self.assertEqual((check.returncode, check.stdout + check.stderr), (0, ""),
                         "desktop-file-validate should pass without remarks")
        parser = configparser.ConfigParser(interpolation=None)
        parser.optionxform = str
        parser.read(entry)
        keys = parser["Desktop Entry"]
        self.assertEqual(keys["Name"], "Kalvo")
        program = keys["Exec"].split()[0]
        self.assertTrue(os.access(self.path(f"usr/bin/{program}"), os.X_OK),
                        f"Exec={program} is not a binary the package installs in usr/bin")
        icons = glob.glob(self.path(f"usr/share/icons/hicolor/*/apps/{keys['Icon']}.*"))
        self.assertTrue(icons, f"Icon={keys['Icon']} names no icon the package installs")
        self.assertIn("Game", keys["Categories"].split(";"))

    def test_png_icons_have_their_size_and_the_window_icon_colours(self):
        for size in ARGS.icon_sizes:
            with self.subTest(size=size):
                relative = f"usr/share/icons/hicolor/{size}x{size}/apps/kalvo.png"
                self.assertTrue(os.path.isfile(self.path(relative)), f"{relative} missing")
                width, height, colour_type, rows = read_png(self.path(relative))
                self.assertEqual((width, height), (size, size), f"{relative}: width, height")
                self.assertEqual(colour_type, 6, f"{relative}: want RGBA (colour type 6)")
                colours = {pixel for row in rows for pixel in row}
                self.assertLessEqual(colours, {CLEAR, BLACK, YELLOW}, f"{relative}: colours")
                # Corners are off the disc; above the centre is the top wedge,
                # below it the black gap between the two lower wedges.
                middle = size // 2
                self.assertEqual(rows[0][0], CLEAR, f"{relative}: corner")
                self.assertEqual(rows[size // 4][middle], YELLOW, f"{relative}: top wedge")
                self.assertEqual(rows[size - 1 - size // 8][middle], BLACK, f"{relative}: lower gap")

    def test_scalable_icon_is_an_svg(self):
        relative = "usr/share/icons/hicolor/scalable/apps/kalvo.svg"
        self.assertTrue(os.path.isfile(self.path(relative)), f"{relative} missing")
        root = ElementTree.parse(self.path(relative)).getroot()
        self.assertEqual(root.tag, "{http://www.w3.org/2000/svg}svg")
        self.assertIn("viewBox", root.attrib)

    def test_control_fields(self):
        self.assertEqual(self.field("Package"), "kalvo")
        self.assertEqual(self.field("Version"), ARGS.version)
        self.assertEqual(self.field("Section"), "games")
        self.assertEqual(self.field("Architecture"), run("dpkg", "--print-architecture").strip())
        self.assertRegex(self.field("Maintainer"), r"^[^<>]+ <[^<>@\s]+@[^<>\s]+>$")
        depends = {re.match(r"\s*([^\s(]+)", d).group(1): d.strip()
                   for d in self.field("Depends").split(",")}
        # Versions on libc6 and SDL only come from dpkg-shlibdeps reading the binary.
        for name in ("libc6", "libsdl2-2.0-0"):
            self.assertRegex(depends.get(name, ""), r"\(>= [^)]+\)",
                             f"Depends should carry a computed {name}: {depends}")
        self.assertIn("libgl1", depends, f"libGL is opened at run time: {depends}")


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--cpack", required=True)
    parser.add_argument("--config", required=True, help="CPackConfig.cmake of the build tree")
    parser.add_argument("--version", required=True)
    parser.add_argument("--icon-sizes", type=int, nargs="+", required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
