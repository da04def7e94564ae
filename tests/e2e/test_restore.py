"""Restoring a stored state from the Tools tab: the run stores the present state first, with
a note at the head of its comment, and then puts the chosen state's files back."""

import os
import re
import subprocess
import tempfile
import unittest
from pathlib import Path

import kpui

NOTE = "After this archive creation, the archive\r\n Site-101203.1510c.zip \r\nwas restored.\r\n\r\n"


def store_state(project, when, comment):
    """One earlier run of kpad at a faked local time, as the user's history of the project."""
    env = dict(os.environ, LD_PRELOAD=kpui.faketime_library(), FAKETIME="@" + when,
               FAKETIME_DONT_FAKE_MONOTONIC="1")
    subprocess.run([str(kpui.binary("kpad")), "store", str(project), "--comment", comment],
                   env=env, check=True, stdin=subprocess.DEVNULL, capture_output=True, timeout=60)


def project_files(project):
    """{relative path: bytes} of the project's files, the archive folder left out."""
    root = Path(project)
    return {str(p.relative_to(root)): p.read_bytes() for p in root.rglob("*")
            if p.is_file() and kpui.ARCHIVE_FOLDER not in p.relative_to(root).parts}


def state_files(archive):
    """{relative path: bytes} of the project files a state holds (bookkeeping left out)."""
    files = {}
    for name in kpui.zip_members(archive):
        if name.startswith("Site/") and not name.endswith("/"):
            files[name[len("Site/"):]] = kpui.zip_read(archive, name)
    return files


class Restore(unittest.TestCase):
    def test_second_state_is_restored_after_the_present_one_is_stored(self):
        tmp = Path(tempfile.mkdtemp(prefix="restore-"))
        project = kpui.make_project(tmp, "Site", {"index.html": "<p>one</p>\n", "css/site.css": "a {}\n"})
        store_state(project, "2010-12-03 15:00:00", "state one")
        (project / "index.html").write_text("<p>two</p>\n")
        (project / "docs").mkdir()
        (project / "docs" / "notes.txt").write_text("only in the second state\n")
        store_state(project, "2010-12-03 15:10:00", "state two")
        (project / "index.html").write_text("<p>three</p>\n")
        store_state(project, "2010-12-03 15:20:00", "state three")
        (project / "index.html").write_text("<p>now</p>\n")
        (project / "docs" / "notes.txt").unlink()
        present = project_files(project)
        second = kpui.archive_folder(project) / "Site-101203.1510c.zip"
        self.assertEqual([a.name for a in kpui.archives(project)],
                         ["Site-101203.1500c.zip", "Site-101203.1510c.zip", "Site-101203.1520c.zip"])

        with kpui.start(project, ctrl=True, faketime="2010-12-03 15:30:00") as app:
            win = app.window(re.compile(r"Site - Kestrelpad$"))
            app.release_ctrl()
            kpui.click(kpui.find(win, "page tab", "Tools"))
            kpui.click(kpui.find(win, "list item", second.name))
            comment = kpui.find(win, "text", "State comment")
            kpui.wait_until(lambda: kpui.text_of(comment).startswith("state two"),
                            what="the second state's comment", describe=lambda: kpui.dump(win))
            kpui.click(kpui.find(win, "check box", " Activate project recovery"))
            kpui.click(kpui.find(win, "push button", "Replace chosen state"))
            self.assertEqual(app.wait(timeout=60), 0, app.output())

        archives = kpui.archives(project)
        self.assertEqual(archives[-1].name, "Site-101203.1530c.zip", [a.name for a in archives])
        newest = archives[-1]
        self.assertTrue(kpui.zip_comment(newest).startswith(NOTE), repr(kpui.zip_comment(newest)))
        self.assertEqual(state_files(newest), present, "the present state was stored first")
        self.assertEqual(project_files(project), state_files(second), "the project is the second state")


if __name__ == "__main__":
    unittest.main()
