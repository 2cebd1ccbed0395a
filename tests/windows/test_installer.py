"""What Windows finds in kalvo.exe and its packages: the manifest and version,
text files Notepad shows as lines, and the installer and uninstaller run
silently under Wine in a prefix of their own."""

import glob
import os
import re
import subprocess
import sys
import unittest
import xml.etree.ElementTree as ET
import zipfile

import pefile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "support"))
from blackbox import ARGS, main, wait_until  # noqa: E402

WINE_RUN = os.path.join(HERE, "..", "..", "scripts", "wine-run")
WINDOWS_10 = "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"


def manifest(program):
    """The program's manifest, read by pefile as Windows reads it."""
    for kind in pefile.PE(program).DIRECTORY_ENTRY_RESOURCE.entries:
        if kind.id == pefile.RESOURCE_TYPE["RT_MANIFEST"]:
            data = kind.directory.entries[0].directory.entries[0].data.struct
            return pefile.PE(program).get_data(data.OffsetToData, data.Size)
    return None


def shortcut_targets(path):
    """(its shell items' path, which Windows follows, its local path), by lnkinfo."""
    info = subprocess.run(["lnkinfo", path], check=True, capture_output=True, text=True,
                          timeout=30).stdout
    names = re.findall(r"^\s*(?:Volume name|Name)\s*: (.*)$", info, re.M)
    local = re.search(r"^\s*Local path\s*: (.*)$", info, re.M)
    return names[0] + "\\".join(names[1:]) if names else None, local and local[1]


class ResourcesTest(unittest.TestCase):
    def test_manifest_asks_for_sharp_scaling_new_controls_and_no_elevation(self):
        root = ET.fromstring(manifest(ARGS.program))

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
        pe = pefile.PE(ARGS.program)
        fixed = pe.VS_FIXEDFILEINFO[0]
        major, minor, patch = map(int, ARGS.version.split("."))
        self.assertEqual((fixed.FileVersionMS >> 16, fixed.FileVersionMS & 0xFFFF,
                          fixed.FileVersionLS >> 16), (major, minor, patch))
        strings = {name.decode(): value.decode() for info in pe.FileInfo for entry in info
                   if entry.Key == b"StringFileInfo" for table in entry.StringTable
                   for name, value in table.entries.items()}
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
    def wine(self, *command, timeout=300):
        # No display: silent installers show no window. No .desktop files in the real home.
        env = dict(os.environ, KALVO_WINE_HOME=ARGS.wine_home,
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
            # Only the Start menus: users' folders link to the home, which may hold the prefix.
            menus = [os.path.join(drive, "ProgramData"),
                     *glob.glob(os.path.join(drive, "users", "*", "AppData", "Roaming"))]
            return [link for menu in menus for link in glob.glob(
                os.path.join(menu, "Microsoft", "Windows", "Start Menu", "**", "*.lnk"),
                recursive=True)]

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

        # The uninstaller runs a copy of itself from the temporary folder, returning at once.
        result = self.wine(os.path.join(folder, "Uninstall.exe"), "/S")
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        self.assertTrue(wait_until(lambda: not installed() and not links(), 60, 0.5),
                        "expected the files and Start-menu entries gone within 60 s; left %s %s"
                        % (installed(), links()))
        self.assertFalse(os.path.exists(folder), "expected the folder itself removed")
        self.assertIsNone(self.registry(uninstall_key, "EstimatedSize"))


if __name__ == "__main__":
    main("program", "version", "zip", "installer", "wine_home")
