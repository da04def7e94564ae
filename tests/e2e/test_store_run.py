"""A valid project: the program runs one run and stores the project as an archive.

For now the run goes on without the progress card; when the card exists this test
will find it and wait for it to close instead of only waiting for the process.
"""

import tempfile
import unittest
from pathlib import Path

import kpui


class StoreRun(unittest.TestCase):
    def test_first_run_stores_a_full_archive_and_ends(self):
        tmp = Path(tempfile.mkdtemp(prefix="store-"))
        project = kpui.make_project(tmp, "Site", {"index.html": "<html>Hello</html>\n",
                                                  "css/site.css": "body { margin: 0 }\n"})
        with kpui.start(project, faketime="2010-12-03 15:30:00") as app:
            self.assertEqual(app.wait(timeout=60), 0, app.output())
        stored = kpui.archives(project)
        self.assertEqual(len(stored), 1, stored)
        # The name carries the date and minute of the run, so the faked clock shows in it.
        self.assertTrue(stored[0].name.startswith("Site-101203.1530"), stored[0].name)
        members = kpui.zip_members(stored[0])
        self.assertLessEqual({"Site/index.html", "Site/css/site.css"}, set(members), members)
        self.assertEqual(kpui.zip_read(stored[0], "Site/index.html"), b"<html>Hello</html>\n")
        self.assertIn("Site", kpui.zip_comment(stored[0]))


if __name__ == "__main__":
    unittest.main()
