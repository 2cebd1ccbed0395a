"""What Windows and its users find in kalvo.exe and its packages: the
manifest and version read back from the built program, text files that
Notepad shows as lines, and the installer run silently under Wine in a
prefix of its own, then the uninstaller."""

import argparse
import glob
import os
import struct
import subprocess
import sys
import unittest
import xml.etree.ElementTree as ET
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "display"))
from harness import wait_until  # noqa: E402

WINE_RUN = os.path.join(HERE, "..", "..", "scripts", "wine-run")
ARGS = argparse.Namespace()
WINDOWS_10 = "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"


def resource(program, kind):
    """The bytes of resource 1 of this type, extracted by icoutils' wrestool."""
    return subprocess.run(["wrestool", "-x", "--raw", "-t", str(kind), "-n", "1", program],
                          check=True, capture_output=True, timeout=30).stdout


def version_info(data, offset=0):
    """A VS_VERSIONINFO block as (key, value, children): value is text for a
    string, bytes otherwise."""
    length, value_length, text = struct.unpack_from("<HHH", data, offset)
    end_key = offset + 6
    while data[end_key:end_key + 2] != b"\0\0":
        end_key += 2
    key = data[offset + 6:end_key].decode("utf-16-le")
    value_at = (end_key + 2 + 3) & ~3
    if text:
        value = data[value_at:value_at + 2 * value_length].decode("utf-16-le").rstrip("\0")
        child = value_at + 2 * value_length
    else:
        value = data[value_at:value_at + value_length]
        child = value_at + value_length
    children = []
    child = (child + 3) & ~3
    while child < offset + length:
        children.append(version_info(data, child))
        child = (child + struct.unpack_from("<H", data, child)[0] + 3) & ~3
    return key, value, children


def shortcut_targets(path):
    """The paths a .lnk file points at: through its shell ID list, which
    Windows follows, and its LinkInfo's local base path."""
    with open(path, "rb") as link:
        data = link.read()
    flags = struct.unpack_from("<I", data, 20)[0]
    offset, names = 76, []
    if flags & 1:  # the ID list: the computer, the drive, then one item a folder or file
        end = offset + 2 + struct.unpack_from("<H", data, offset)[0]
        item = offset + 2
        while item < end - 2:
            size, kind = struct.unpack_from("<HB", data, item)
            name_at = item + 3 if kind & 0x70 == 0x20 else item + 14
            if kind & 0x70 in (0x20, 0x30):
                names.append(data[name_at:data.index(b"\0", name_at)].decode("latin-1"))
            item += size
        offset = end
    base_path = None
    if flags & 2:
        base = struct.unpack_from("<I", data, offset + 16)[0]
        base_path = data[offset + base:data.index(b"\0", offset + base)].decode("latin-1")
    return names[0] + "\\".join(names[1:]) if names else None, base_path


class ResourcesTest(unittest.TestCase):
    def test_manifest_asks_for_sharp_scaling_new_controls_and_no_elevation(self):
        root = ET.fromstring(resource(ARGS.program, 24))

        def texts(tag):
            return [e.text for e in root.iter() if e.tag.endswith("}" + tag)]

        def attributes(tag, name):
            return [e.get(name) for e in root.iter() if e.tag.endswith("}" + tag)]

        self.assertEqual([t.split(",")[0].strip() for t in texts("dpiAwareness")],
                         ["PerMonitorV2"])
        self.assertEqual(texts("dpiAware"), ["true/pm"])
        self.assertIn(("Microsoft.Windows.Common-Controls", "6.0.0.0"),
                      list(zip(attributes("assemblyIdentity", "name"),
                               attributes("assemblyIdentity", "version"))))
        self.assertEqual(attributes("supportedOS", "Id"), [WINDOWS_10])
        self.assertEqual(attributes("requestedExecutionLevel", "level"), ["asInvoker"])

    def test_version_resource_names_the_program_and_its_version(self):
        key, fixed, blocks = version_info(resource(ARGS.program, 16))
        self.assertEqual(key, "VS_VERSION_INFO")
        signature, _, high, low = struct.unpack_from("<IIII", fixed)
        self.assertEqual(signature, 0xFEEF04BD)
        major, minor, patch = map(int, ARGS.version.split("."))
        self.assertEqual((high >> 16, high & 0xFFFF, low >> 16), (major, minor, patch))
        strings = {name: value for block_key, _, tables in blocks if block_key == "StringFileInfo"
                   for _, _, entries in tables for name, value, _ in entries}
        self.assertEqual(strings.get("OriginalFilename"), "kalvo.exe")
        self.assertEqual(strings.get("ProductName"), "Kalvo")
        self.assertEqual(strings.get("FileVersion"), ARGS.version)
        self.assertTrue(strings.get("LegalCopyright", "").startswith("Copyright"), strings)
        for name in ("FileDescription", "CompanyName"):
            self.assertTrue(strings.get(name), "expected a %s; got %s" % (name, strings))

    def test_zip_holds_the_program_and_text_files_with_crlf_line_ends(self):
        with zipfile.ZipFile(ARGS.zip) as archive:
            names = {name.split("/", 1)[1]: name for name in archive.namelist()}
            self.assertEqual(sorted(names), ["LICENSE.txt", "README.txt", "kalvo.exe"])
            for text in ("LICENSE.txt", "README.txt"):
                data = archive.read(names[text])
                self.assertGreater(data.count(b"\r\n"), 10, text)
                self.assertEqual(data.count(b"\n"), data.count(b"\r\n"),
                                 "expected every line of %s to end in CRLF" % text)


class InstallerTest(unittest.TestCase):
    """Under a Wine prefix of the test's own, without a display: Windows'
    own installers show no window when silent."""

    def wine(self, *command, timeout=300):
        env = dict(os.environ, KALVO_WINE_HOME=ARGS.wine_home,
                   # No .desktop files for the Start-menu entries in the real home.
                   WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d")
        env.pop("DISPLAY", None)
        return subprocess.run([WINE_RUN, *command], env=env, capture_output=True, text=True,
                              timeout=timeout, check=False)

    def registry(self, key, value):
        """A value's text as reg.exe prints it, or None."""
        result = self.wine("reg", "query", key, "/v", value)
        for line in result.stdout.splitlines():
            if line.split()[:1] == [value]:
                return line.split()[-1]
        return None

    def test_silent_install_and_uninstall(self):
        self.addCleanup(self.wine, "--end")
        drive = os.path.join(ARGS.wine_home, "wine", "drive_c")
        folder = os.path.join(drive, "Program Files", "Kalvo")
        uninstall_key = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kalvo"

        def links():
            return glob.glob(os.path.join(drive, "**", "Start Menu", "**", "*.lnk"),
                             recursive=True)

        def installed():
            return sorted(os.listdir(folder)) if os.path.isdir(folder) else []

        result = self.wine(ARGS.installer, "/S")
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        self.assertEqual(installed(),
                         ["LICENSE.txt", "README.txt", "Uninstall.exe", "kalvo.exe"])
        entries = {os.path.basename(link): shortcut_targets(link) for link in links()}
        self.assertEqual(entries.get("Kalvo.lnk"), (r"C:\Program Files\Kalvo\kalvo.exe",) * 2,
                         "expected the Start-menu entry to start the program; got %s" % entries)
        size_kb = int(self.registry(uninstall_key, "EstimatedSize") or "0", 16)
        program_kb = os.path.getsize(os.path.join(folder, "kalvo.exe")) / 1024
        self.assertTrue(program_kb <= size_kb <= program_kb + 100,
                        "expected EstimatedSize near kalvo.exe's %d KB; got %d KB"
                        % (program_kb, size_kb))

        # The uninstaller runs a copy of itself from the temporary folder and
        # returns at once.
        result = self.wine(os.path.join(folder, "Uninstall.exe"), "/S")
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        self.assertTrue(wait_until(lambda: not installed() and not links(), 60, 0.5),
                        "expected the files and Start-menu entries gone within 60 s; left %s %s"
                        % (installed(), links()))
        self.assertFalse(os.path.exists(folder), "expected the folder itself removed")
        self.assertIsNone(self.registry(uninstall_key, "EstimatedSize"))


def main():
    parser = argparse.ArgumentParser()
    for option in ("program", "version", "zip", "installer", "wine_home"):
        parser.add_argument("--" + option.replace("_", "-"), required=True)
    options, rest = parser.parse_known_args()
    vars(ARGS).update(vars(options))
    unittest.main(argv=[sys.argv[0], "-v", *rest])


if __name__ == "__main__":
    main()
