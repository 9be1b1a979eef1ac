#!/usr/bin/python3
"""A send run of 50 teachers against a server that fails at random points (smtp_server.py with
--fault-seed):
whatever fails, every teacher is recorded with exactly its rows or not at all, a mail the server
accepted is always recorded, and later runs send exactly the rest, each teacher once.

Usage: send_faults_test.py TAFELBOT_CLI
"""

import json
import os
import subprocess
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path[:0] = [os.path.join(ROOT, "tests", "integration"), os.path.join(ROOT, "examples")]
import cli_send_test  # noqa: E402
import generate_demo  # noqa: E402
import smtp_server  # noqa: E402
from cli_send_test import School, by_teacher, read  # noqa: E402

TEACHERS = 50
ADDRESS_OF = {generate_demo.adresse(i): generate_demo.kurzname(i) for i in range(1, TEACHERS + 1)}


class SendFaultTest(unittest.TestCase):

    def accepted(self, school):
        return [ADDRESS_OF[r] for _, envelope in school.messages() for r in envelope["rcpt_tos"]]

    def test_every_fault_leaves_whole_records_and_later_runs_send_exactly_the_rest(self):
        school = School(self, "--fault-seed", "13", "--fault-rate", "0.4", teachers=TEACHERS)
        keys = by_teacher(r["Schluessel"] for r in school.rows())
        self.assertEqual(len(keys), TEACHERS)
        for attempt in range(120):
            result = school.cli("send", "--yes", "--timeout", "1")
            records = by_teacher(r.rsplit(",", 1)[0] for r in school.records())
            accepted = self.accepted(school)
            context = f"run {attempt + 1}: {result.stderr[-300:]}"
            for kurz, recorded in records.items():
                self.assertEqual(recorded, keys[kurz], context)
            self.assertEqual(sorted(records), sorted(accepted), context)
            self.assertEqual(len(set(accepted)), len(accepted), "mailed twice: " + context)
            if result.returncode == 0:
                break
            self.assertEqual(result.returncode, 1, context)
        self.assertEqual(sorted(self.accepted(school)), sorted(keys))
        with open(os.path.join(school.maildir, "faults.jsonl"), encoding="utf-8") as log:
            faults = {(f["step"], f["kind"]) for f in map(json.loads, log)}
        # The seed reaches every step, and a stall at least once.
        self.assertEqual({step for step, _ in faults if step}, set(smtp_server.STEPS))
        self.assertIn("stall", {kind for _, kind in faults})

    @unittest.skipUnless(subprocess.run(["unshare", "-m", "true"], capture_output=True).returncode == 0,
                         "needs a mount namespace of its own (root)")
    def test_a_full_or_read_only_file_system_leaves_the_settings_file_whole(self):
        # The settings file on a file system of its own, 32 KiB, in a mount namespace that ends
        # with the run: filled up to the last block, or mounted read-only.
        for fault, command in (("full", "dd if=/dev/zero of=\"$1/fill\" bs=1k 2>/dev/null"),
                               ("read-only", "mount -o remount,ro \"$1\"")):
            with self.subTest(fault):
                school = School(self, teachers=3)
                before = read(school.ini)
                mount = os.path.join(school.dir.name, "mnt")
                os.mkdir(mount)
                script = ('mount -t tmpfs -o size=32k tmpfs "$1" && cp "$2" "$1/Tafelbot.ini" && '
                          '{ ' + command + '; true; } && "$3" --ini "$1/Tafelbot.ini" send --yes; '
                          'status=$?; cp "$1/Tafelbot.ini" "$2"; exit $status')
                result = subprocess.run(["unshare", "-m", "sh", "-c", script, "sh", mount,
                                         school.ini, cli_send_test.CLI], capture_output=True, text=True,
                                        timeout=120)
                self.assertEqual(result.returncode, 1, result.stderr)
                self.assertEqual(len(self.accepted(school)), 1, "the run stops at the failed save")
                self.assertEqual(read(school.ini), before, "the old file, whole")
                self.assertIn("wurde verschickt", result.stderr)


if __name__ == "__main__":
    cli_send_test.CLI = sys.argv.pop(1)
    unittest.main()
