"""The menu entry's start: the command of data/kestrelpad.desktop opens the chooser "Choose
the project - Kestrelpad"; choosing a folder is an ordinary run on it that stores and is
remembered for the next start; Escape ends without a run, a message or a trace."""

import os
import shlex
import tempfile
import unittest
from pathlib import Path

import kpui

TITLE = "Choose the project - Kestrelpad"
SOURCE = Path(__file__).resolve().parents[2]


def menu_arguments():
    """The arguments the menu entry gives the program (after its name)."""
    for line in (SOURCE / "data" / "kestrelpad.desktop").read_text().splitlines():
        if line.startswith("Exec="):
            argv = shlex.split(line[len("Exec="):])
            assert argv[0] == "kestrelpad", line
            return argv[1:]
    raise AssertionError("the desktop entry has no Exec line")


def remembered():
    path = Path(os.environ["XDG_CONFIG_HOME"]) / "TarnelSoftware" / "Kestrelpad" / "last-project"
    return path.read_text() if path.exists() else None


class ChooseFromMenu(unittest.TestCase):
    def setUp(self):
        self.project = kpui.make_project(Path(tempfile.mkdtemp(prefix="choose-")), "Site")
        self.before = remembered()

    def test_choosing_a_folder_runs_on_it_stores_and_is_remembered(self):
        with kpui.start(None, args=menu_arguments(), faketime="2010-12-03 15:30:00") as app:
            chooser = app.window(TITLE)
            kpui.click(kpui.find(chooser, "text", "Project:"))
            kpui.key("ctrl+a")  # the name of a project chosen before may stand there
            kpui.type_text(str(self.project))
            kpui.key("Tab")  # closes the completion list, which would take the next click
            kpui.click(kpui.find(chooser, "push button", "Choose folder"))
            self.assertEqual(app.wait(timeout=60), 0, app.output())
        self.assertEqual([p.name for p in kpui.archives(self.project)], ["Site-101203.1530c.zip"])
        self.assertEqual(remembered(), f"{self.project}\n")

        # The next start opens beside it, with it selected; Escape leaves everything as it was.
        with kpui.start(None, args=menu_arguments()) as app:
            chooser = app.window(TITLE)
            self.assertEqual(kpui.text_of(kpui.find(chooser, "text", "Project:")), "Site")
            kpui.key("Escape", over=chooser)
            self.assertEqual(app.wait(timeout=15), 0, app.output())
        self.assertEqual(len(kpui.archives(self.project)), 1)
        self.assertEqual(remembered(), f"{self.project}\n")

    def test_choosing_a_file_runs_on_that_file(self):
        plan = self.project.parent / "plan.txt"
        plan.write_text("the plan\n")
        with kpui.start(None, args=menu_arguments(), faketime="2010-12-03 15:30:00") as app:
            chooser = app.window(TITLE)
            kpui.click(kpui.find(chooser, "text", "Project:"))
            kpui.key("ctrl+a")
            kpui.type_text(str(plan))
            kpui.key("Tab", "shift+Tab", "Return")  # Enter in the name field: Choose
            self.assertEqual(app.wait(timeout=60), 0, app.output())
        self.assertEqual([p.name for p in kpui.archives(plan)], ["plan.txt-101203.1530c.zip"])
        self.assertEqual(remembered(), f"{plan}\n")

    def test_escape_ends_without_a_run_or_a_message(self):
        with kpui.start(None, args=menu_arguments()) as app:
            chooser = app.window(TITLE)
            kpui.key("Escape", over=chooser)
            # A message box would keep the program running, so ending shows there was none.
            self.assertEqual(app.wait(timeout=15), 0, app.output())
        self.assertFalse(kpui.archive_folder(self.project).exists())
        self.assertEqual(remembered(), self.before)


if __name__ == "__main__":
    unittest.main()
