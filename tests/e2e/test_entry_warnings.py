"""A parameter the program refuses: each refusal is a modal box titled "Warning" with one OK
button; closing it ends the program with status 0 and nothing written to disk."""

import tempfile
import unittest
from pathlib import Path

import kpui

ABSENT = "The correct parameter is absent.  "
PROTECTED = '" _kpad_ "  is a protected name. '
ARCHIVE_BLOCKED = (' The archive folder " #tarnel " can\'t be created \n'
                   '     because the file " #tarnel " exists already.')


def tree(folder):
    return sorted(str(p.relative_to(folder)) for p in Path(folder).rglob("*"))


class EntryWarnings(unittest.TestCase):
    def setUp(self):
        self.tmp = Path(tempfile.mkdtemp(prefix="entry-"))
        (self.tmp / "Site").mkdir()
        (self.tmp / "Site" / "index.html").write_text("hello\n")
        (self.tmp / "_KPAD_").mkdir()
        (self.tmp / "Blocked").mkdir()
        (self.tmp / "Blocked" / "#tarnel").write_text("a plain file in the archive folder's place\n")

    def test_refused_parameter_shows_one_warning_and_ends_normally(self):
        cases = [
            ("missing path", self.tmp / "does-not-exist", ABSENT),
            ("no parameter", None, ABSENT),
            ("relative path to an existing folder", "Site", ABSENT),
            ("protected name shown lower-cased", self.tmp / "_KPAD_", PROTECTED),
            ("file in the archive folder's place", self.tmp / "Blocked", ARCHIVE_BLOCKED),
        ]
        for label, param, text in cases:
            before = tree(self.tmp)
            with self.subTest(label), kpui.start(param, cwd=self.tmp) as app:
                box = app.window("Warning")
                self.assertEqual(kpui.role(box), "alert")
                labels = [l.name.replace("\r\n", "\n") for l in kpui.find_all(box, "label")]
                self.assertIn(text, labels, kpui.dump(box))
                kpui.click(kpui.find(box, "push button", "OK"))
                # A second box would keep the program running, so ending in time also
                # shows that this was the only warning.
                self.assertEqual(app.wait(timeout=15), 0, app.output())
                self.assertEqual(tree(self.tmp), before, "a refusal wrote to disk")


if __name__ == "__main__":
    unittest.main()
