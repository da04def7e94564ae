"""The progress card and the options window, used as a person uses them: a plain run
stores by itself; Ctrl opens the options window, where a typed comment and OK store a
change archive, and Cancel stores nothing. Each run ends by itself."""

import tempfile
import unittest
from pathlib import Path

import kpui

FILES = {"index.html": "<html>Hello</html>\n", "css/site.css": "body { margin: 0 }\n"}
CAPTION = "   Site - Kestrelpad"


def new_project():
    return kpui.make_project(Path(tempfile.mkdtemp(prefix="store-")), "Site", FILES)


class StoreRun(unittest.TestCase):
    def test_plain_run_shows_the_card_stores_and_ends(self):
        project = new_project()
        with kpui.start(project, faketime="2010-12-03 15:30:00", ctrl=False) as app:
            # The card is a tool window: the bus shows it as a filler of the application.
            card = kpui.find(app.app(), "filler", "Kestrelpad progress")
            self.assertEqual(kpui.find(card, "label", "Archive date").description, "101203.1530c")
            self.assertEqual(app.wait(timeout=60), 0, app.output())
        stored = kpui.archives(project)
        self.assertEqual([p.name for p in stored], ["Site-101203.1530c.zip"])
        self.assertEqual(kpui.zip_read(stored[0], "Site/index.html"), b"<html>Hello</html>\n")

    def test_ctrl_comment_and_ok_store_a_change_archive(self):
        project = new_project()
        with kpui.start(project, faketime="2010-12-03 15:30:00", ctrl=True) as app:
            win = app.window(CAPTION)
            app.release_ctrl()
            kpui.type_text("first state", into=kpui.find(win, "text", "Archive comment"))
            kpui.click(kpui.find(win, "push button", "OK"))
            self.assertEqual(app.wait(timeout=60), 0, app.output())
        stored = kpui.archives(project)
        self.assertEqual([p.name for p in stored], ["Site-101203.1530c.zip"])
        self.assertIn("first state", kpui.zip_comment(stored[0]))

    def test_ctrl_and_cancel_store_nothing(self):
        project = new_project()
        with kpui.start(project, faketime="2010-12-03 15:30:00", ctrl=True) as app:
            win = app.window(CAPTION)
            app.release_ctrl()
            kpui.click(kpui.find(win, "push button", "Cancel"))
            self.assertEqual(app.wait(timeout=60), 0, app.output())
        self.assertEqual(kpui.archives(project), [])


if __name__ == "__main__":
    unittest.main()
