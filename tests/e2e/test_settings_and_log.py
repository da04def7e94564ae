"""The Settings tab and the project log window of the real program: a train length changed
with the keyboard and saved reaches setting.ini; the log edited below its heading and saved
reaches the newest archive, as kpad log shows it.
"""

import os
import re
import subprocess
import tempfile
import unittest
from pathlib import Path

import kpui

OPTIONS = re.compile(r" - Kestrelpad$")


def settings_file():
    return Path(os.environ["XDG_CONFIG_HOME"]) / "TarnelSoftware" / "Kestrelpad" / "setting.ini"


class SettingsAndLog(unittest.TestCase):
    def test_a_train_length_stepped_with_the_keyboard_is_saved(self):
        project = kpui.make_project(Path(tempfile.mkdtemp(prefix="settings-")), "Site")
        with kpui.start(project, ctrl=True, faketime="2010-12-03 15:30:00") as app:
            win = app.window(OPTIONS)
            app.release_ctrl()
            kpui.click(kpui.find(win, "page tab", "Settings"))
            standard = kpui.find(win, "text", "Major train length, standard")
            kpui.click(standard)
            kpui.key("Down", "Down", over=standard)
            kpui.wait_until(lambda: kpui.text_of(standard) == "16", what="the standard length at 16",
                            describe=lambda: kpui.dump(win))
            kpui.click(kpui.find(win, "push button", "Save"))
            kpui.wait_until(settings_file().exists, what="setting.ini")
            kpui.click(kpui.find(win, "page tab", "Storing"))
            kpui.click(kpui.find(win, "push button", "Cancel"))
            self.assertEqual(app.wait(timeout=60), 0, app.output())
        text = settings_file().read_bytes().decode("utf-8")
        self.assertIn("UserPreferences= cL:00000409,hv:16\\19\\20,mnp:5,ws:1,ds:1\r\n", text)
        self.assertNotIn("ps:", text)
        self.assertEqual(kpui.archives(project), [])

    def test_the_log_edited_below_its_heading_is_saved_into_the_archive(self):
        project = kpui.make_project(Path(tempfile.mkdtemp(prefix="log-")), "Site")
        kpad = str(kpui.binary("kpad"))
        subprocess.run([kpad, "store", str(project), "--comment", "first state"], check=True,
                       capture_output=True)
        with kpui.start(project, ctrl=True) as app:
            win = app.window(OPTIONS)
            app.release_ctrl()
            kpui.click(kpui.find(win, "text", "Project log"))
            log = app.window(" Project log")
            text = kpui.find(log, "text", "Project log text")
            kpui.click(text)
            # On the heading the keys change nothing; at the end of the log they type.
            kpui.key("ctrl+Home", "x", "Delete", over=text)
            kpui.key("ctrl+End", over=text)
            kpui.type_text(" checked by e2e")
            kpui.wait_until(lambda: kpui.text_of(text).endswith(" checked by e2e"), what="the typed text")
            self.assertTrue(kpui.text_of(text).startswith("=" * 80 + "\n\n  History"), kpui.text_of(text)[:200])
            kpui.click(kpui.find(log, "menu item", "  File  "))
            kpui.click(kpui.find(log, "menu item", "Save"))
            kpui.wait_window_closed(app.app(), " Project log")
            kpui.click(kpui.find(win, "push button", "Cancel"))
            self.assertEqual(app.wait(timeout=60), 0, app.output())
        archives = kpui.archives(project)
        self.assertEqual(len(archives), 1, archives)
        self.assertEqual(kpui.zip_members(archives[0]).count("_kpad_/project.log"), 1)
        shown = subprocess.run([kpad, "log", str(project)], check=True, capture_output=True, text=True).stdout
        self.assertIn("checked by e2e", shown)
        verify = subprocess.run([kpad, "verify", str(archives[0])], capture_output=True, text=True)
        self.assertEqual(verify.returncode, 0, verify.stdout + verify.stderr)


if __name__ == "__main__":
    unittest.main()
