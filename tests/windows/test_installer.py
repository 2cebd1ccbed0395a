"""The installer and uninstaller run silently under Wine in a prefix of
their own: the files, the Start-menu entry, and nothing left behind."""

import glob
import os
import re
import subprocess
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "support"))
from blackbox import ARGS, main, wait_until  # noqa: E402

WINE_RUN = os.path.join(HERE, "..", "..", "scripts", "wine-run")


def shortcut_targets(path):
    """(its shell items' path, which Windows follows, its local path), by lnkinfo."""
    info = subprocess.run(["lnkinfo", path], check=True, capture_output=True, text=True,
                          timeout=30).stdout
    names = re.findall(r"^\s*(?:Volume name|Name)\s*: (.*)$", info, re.M)
    local = re.search(r"^\s*Local path\s*: (.*)$", info, re.M)
    return names[0] + "\\".join(names[1:]) if names else None, local and local[1]


class InstallerTest(unittest.TestCase):
    def wine(self, *command, timeout=300):
        # No display: silent installers show no window. No .desktop files in the real home.
        env = dict(os.environ, KALVO_WINE_HOME=ARGS.wine_home,
                   WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d")
        env.pop("DISPLAY", None)
        return subprocess.run([WINE_RUN, *command], env=env, capture_output=True, text=True,
                              timeout=timeout, check=False)

    def test_silent_install_and_uninstall(self):
        self.addCleanup(self.wine, "--end")
        drive = os.path.join(ARGS.wine_home, "wine", "drive_c")
        folder = os.path.join(drive, "Program Files", "Kalvo")

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

        # The uninstaller runs a copy of itself from the temporary folder, returning at once.
        result = self.wine(os.path.join(folder, "Uninstall.exe"), "/S")
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        self.assertTrue(wait_until(lambda: not installed() and not links(), 60, 0.5),
                        "expected the files and Start-menu entries gone within 60 s; left %s %s"
                        % (installed(), links()))
        self.assertFalse(os.path.exists(folder), "expected the folder itself removed")


if __name__ == "__main__":
    main("installer", "wine_home")
