"""The README's troubleshooting table gives every message Kalvo prints, word for word,
and no other; and Kalvo prints the table's message for each cause that needs no display."""

import glob, os, re, subprocess, sys, unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from blackbox import run_unittests  # noqa: E402  pylint: disable=wrong-import-position

ROOT, KALVO = sys.argv[1:3]
# A literal that ends in ": " has the reason appended where it is printed.
PRINTED = {re.sub(r"(%[-0-9.]*[a-z]|: $)", lambda m: m[0].rstrip() + " …" if m[0] == ": " else "…",
                  text)
           for part in ("app", "platform")
           for source in glob.glob(f"{ROOT}/{part}/**/*.cpp", recursive=True)
           for text in re.findall(r'"(kalvo: (?:[^"\\]|\\.)*?)(?:\\n)?"',
                                  open(source, encoding="utf-8").read())}
PRINTED.discard("kalvo: …")  # a message box's echo; the table gives each box by its text
TABLE = open(f"{ROOT}/README.md", encoding="utf-8").read().split("\n## Troubleshooting\n")[1]
EXPLAINED = set(re.findall(r"^\| `(kalvo: [^`]*)`", TABLE.split("\n## ")[0], re.M))
CAUSES = [({}, "no display to show"), ({"DISPLAY": ":9999"}, "cannot reach the display ("),
          ({"WAYLAND_DISPLAY": "kalvo-none", "DISPLAY": ":9999"}, "cannot reach the display ("),
          ({"SDL_VIDEODRIVER": "dummy"}, "SDL_"), ({"SDL_VIDEODRIVER": "no"}, "cannot open")]


class Messages(unittest.TestCase):
    def test_the_table_and_the_sources_give_the_same_messages(self):
        self.assertEqual(sorted(PRINTED - EXPLAINED), [], "printed, but not in the README's table")
        self.assertEqual(sorted(EXPLAINED - PRINTED), [], "in the README's table, never printed")

    def test_each_cause_gets_its_message(self):
        env = {k: v for k, v in os.environ.items() if not k.endswith(("DISPLAY", "DRIVER"))}
        for extra, start in CAUSES:
            done = subprocess.run([KALVO], env=env | extra, capture_output=True, text=True)
            said = done.stderr.splitlines()[-1:]
            matches = [m for m in EXPLAINED if m.startswith("kalvo: " + start)
                       and re.fullmatch(".*".join(map(re.escape, m.split("…"))), "".join(said))]
            self.assertEqual((done.returncode, len(matches)), (1, 1), f"{extra}: said {said}")


run_unittests(sys.argv[:1])
