#!/usr/bin/python3
"""tafelbot-cli rows on a small school whose complete output was worked out by hand (data/: the
JSON by hand, the text table and the log on stderr checked against it), the first start without
--ini, and each case of the command line's contract in data/aufrufe.txt.

Usage: cli_rows_test.py TAFELBOT_CLI
"""

import os
import shlex
import shutil
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
DATA = os.path.join(HERE, "data")
sys.path.insert(0, HERE)
import cli_send_test  # noqa: E402
from cli_send_test import DEMO, read  # noqa: E402


class RowsTest(unittest.TestCase):
    def folder(self, *files):
        """A folder of its own with copies of `files` (path, name in the folder)."""
        folder = tempfile.TemporaryDirectory()
        self.addCleanup(folder.cleanup)
        for path, name in files:
            shutil.copy(path, os.path.join(folder.name, name))
        return folder.name

    def small_school(self):
        return self.folder((os.path.join(DATA, "klein.gpn"), "klein.gpn"),
                           (os.path.join(DATA, "klein.ini"), "Tafelbot.ini"))

    @staticmethod
    def run_in(folder, *args, cli=None):
        return subprocess.run([cli or cli_send_test.CLI, *args], cwd=folder, capture_output=True,
                              stdin=subprocess.DEVNULL, timeout=60)

    def test_text_and_json_of_the_stored_and_of_another_date_and_period(self):
        # The table on stdout and the log and message boxes on stderr, or all of it as JSON.
        for args, out, err in (
                ("--ini Tafelbot.ini rows --gpn klein.gpn", "klein-rows.txt", "klein-rows.stderr"),
                ("--ini Tafelbot.ini rows --gpn klein.gpn --json", "klein-rows.json", None),
                ("rows --gpn klein.gpn --date 20261208 --period 2 --json --ini Tafelbot.ini",
                 "klein-rows-20261208-periode2.json", None)):
            with self.subTest(args):
                school = self.small_school()
                run = self.run_in(school, *args.split())
                self.assertEqual(run.returncode, 1)  # the small school's faults show error boxes
                self.assertEqual(run.stdout, read(os.path.join(DATA, out)))
                self.assertEqual(run.stderr, read(os.path.join(DATA, err)) if err else b"")
                # The overrides and the in-memory purge never reach the file.
                self.assertEqual(read(os.path.join(school, "Tafelbot.ini")),
                                 read(os.path.join(DATA, "klein.ini")))

    def test_only_the_default_settings_file_is_created_at_a_first_start(self):
        # Without --ini the file beside the program is used when that folder is writable.
        folder = self.folder((cli_send_test.CLI, "tafelbot-cli"))
        cli, ini = os.path.join(folder, "tafelbot-cli"), os.path.join(folder, "Tafelbot.ini")
        first = self.run_in(folder, "rows", "--json", cli=cli)
        self.assertEqual(first.returncode, 1)  # the default names no gpn file
        self.assertIn(b'"kind": "info",\n      "text": "Herzlich Willkommen', first.stdout)
        written = read(ini)
        second = self.run_in(folder, "rows", "--json", "--date", "20261207", cli=cli)
        self.assertNotIn(b"Herzlich Willkommen", second.stdout)
        self.assertEqual(read(ini), written)

    def test_exit_status_output_and_messages_of_each_case(self):
        # No case changes a settings file or creates one.
        school = self.small_school()
        demo_ini = os.path.join(DEMO, "demo.ini")
        shutil.copy(demo_ini, school)
        cases = read(os.path.join(DATA, "aufrufe.txt")).decode().split("\n--\n")[1].splitlines()
        self.assertEqual(len(cases), 22)
        for case in cases:
            with self.subTest(case):
                status, args, out, err = (f.strip().replace("\\n", "\n") for f in case.split("|"))
                args = [os.path.join(DEMO, "demo.gpn") if a == "DEMO" else a
                        for a in shlex.split(args)]
                run = self.run_in(school, *args)
                self.assertEqual(run.returncode, int(status))
                self.assertEqual(run.stdout.decode()[:len(out)], out)
                self.assertIn(err, run.stderr.decode())
                if run.returncode == 0:
                    self.assertNotIn("error:", run.stderr.decode())
                self.assertEqual(read(os.path.join(school, "demo.ini")), read(demo_ini))
                self.assertFalse(os.path.exists(os.path.join(school, "fehlt.ini")))


if __name__ == "__main__":
    cli_send_test.CLI = sys.argv.pop(1)
    unittest.main()
