"""Every message Kalvo prints on standard error is explained in the README's
troubleshooting table, word for word, and the table explains no other."""

import glob
import re
import sys
import unittest

ROOT = sys.argv[1]


def program_messages():
    found = set()
    for source in glob.glob(f"{ROOT}/*/*.cpp"):
        with open(source, encoding="utf-8") as f:
            for text in re.findall(r'"(kalvo: (?:[^"\\]|\\.)*?)(?:\\n)?"', f.read()):
                found.add(re.sub(r"%[-0-9.]*[a-z]", "…", text))
    # The echo of a message box; the table gives each box by its own text.
    found.discard("kalvo: …")
    return found


def readme_messages():
    with open(f"{ROOT}/README.md", encoding="utf-8") as f:
        table = f.read().split("\n## Troubleshooting\n")[1].split("\n## ")[0]
    return set(re.findall(r"^\| `(kalvo: [^`]*)`", table, re.M))


class Messages(unittest.TestCase):
    def test_readme_explains_every_message_and_no_other(self):
        program, readme = program_messages(), readme_messages()
        self.assertGreaterEqual(len(program), 5, f"too few messages found in the sources: {program}")
        self.assertEqual(sorted(program - readme), [], "printed, but not in the README's table")
        self.assertEqual(sorted(readme - program), [], "in the README's table, but never printed")


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
