#!/usr/bin/python3
"""A send run of 50 teachers against a server that fails at random points (fault_server.py):
whatever fails, every teacher is recorded with exactly its rows or not at all, a mail the server
accepted is always recorded, and later runs send exactly the rest, each teacher once.

Usage: send_faults_test.py TAFELBOT_CLI
"""

import csv
import json
import os
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import fault_server  # noqa: E402
import school  # noqa: E402

CLI = None
TEACHERS = 50
ADDRESS_OF = {school.address(i): school.teacher(i) for i in range(1, TEACHERS + 1)}


def teacher(key):
    return next(csv.reader([key]))[3]


def jsonl(path):
    if not os.path.exists(path):
        return []
    with open(path, encoding="utf-8") as source:
        return [json.loads(line) for line in source]


class Run:
    def __init__(self, test, seed, rate, teachers=TEACHERS):
        self.dir = tempfile.TemporaryDirectory()
        test.addCleanup(self.dir.cleanup)
        self.server = subprocess.Popen(
            ["/usr/bin/python3", os.path.join(HERE, "fault_server.py"), self.dir.name,
             "--seed", str(seed), "--rate", str(rate)],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        test.addCleanup(self.stop)
        port = int(self.server.stdout.readline())
        subprocess.run(["/usr/bin/python3", os.path.join(HERE, "school.py"), str(teachers),
                        self.dir.name, str(port)], check=True)
        self.ini = os.path.join(self.dir.name, "Tafelbot.ini")

    def stop(self):
        self.server.stdin.close()
        self.server.wait(timeout=20)
        self.server.stdout.close()

    def cli(self, *args):
        return subprocess.run([CLI, "--ini", self.ini, *args], capture_output=True, text=True,
                              timeout=120)

    def keys(self):
        """The row keys of each teacher, as the table builds them."""
        rows = json.loads(self.cli("rows", "--json").stdout)["rows"]
        keys = {}
        for row in rows:
            keys.setdefault(teacher(row["Schluessel"]), []).append(row["Schluessel"])
        return {t: sorted(k) for t, k in keys.items()}

    def records(self):
        """The recorded keys of each teacher, send stamps cut off."""
        with open(self.ini, "rb") as source:
            text = source.read().decode("cp1252")
        records = {}
        for line in text.split("* Bisher gesendete eMails:")[1].splitlines():
            if line:
                records.setdefault(teacher(line), []).append(line.rsplit(",", 1)[0])
        return {t: sorted(k) for t, k in records.items()}

    def accepted(self):
        """Teachers in the order the server accepted their mails."""
        return [ADDRESS_OF[r] for entry in jsonl(os.path.join(self.dir.name, "accepted.jsonl"))
                for r in entry["rcpt"]]


class SendFaultTest(unittest.TestCase):
    def test_every_fault_leaves_whole_records_and_later_runs_send_exactly_the_rest(self):
        run = Run(self, seed=13, rate=0.4)
        keys = run.keys()
        self.assertEqual(len(keys), TEACHERS)
        finished = False
        for attempt in range(120):
            result = run.cli("send", "--yes", "--timeout", "1")
            records = run.records()
            accepted = run.accepted()
            context = f"run {attempt + 1}: {result.stderr[-300:]}"
            for kurz, recorded in records.items():
                self.assertEqual(recorded, keys[kurz], context)
            self.assertEqual(sorted(records), sorted(accepted), context)
            self.assertEqual(len(set(accepted)), len(accepted), "mailed twice: " + context)
            if result.returncode == 0:
                finished = True
                break
            self.assertEqual(result.returncode, 1, context)
        self.assertTrue(finished)
        self.assertEqual(sorted(run.accepted()), sorted(keys))
        faults = {(f["step"], f["kind"]) for f in jsonl(os.path.join(run.dir.name, "faults.jsonl"))}
        # The seed reaches every step, and a stall at least once.
        self.assertEqual({step for step, _ in faults if step}, set(fault_server.STEPS))
        self.assertIn("stall", {kind for _, kind in faults})

    @unittest.skipUnless(subprocess.run(["unshare", "-m", "true"], capture_output=True).returncode == 0,
                         "needs a mount namespace of its own (root)")
    def test_a_full_or_read_only_file_system_leaves_the_settings_file_whole(self):
        # The settings file on a file system of its own, 32 KiB, in a mount namespace that ends
        # with the run: filled up to the last block, or mounted read-only.
        for fault, command in (("full", "dd if=/dev/zero of=\"$1/fill\" bs=1k 2>/dev/null"),
                               ("read-only", "mount -o remount,ro \"$1\"")):
            with self.subTest(fault):
                run = Run(self, seed=0, rate=0, teachers=3)
                before = read(run.ini)
                mount = os.path.join(run.dir.name, "mnt")
                os.mkdir(mount)
                script = ('mount -t tmpfs -o size=32k tmpfs "$1" && cp "$2" "$1/Tafelbot.ini" && '
                          '{ ' + command + '; true; } && "$3" --ini "$1/Tafelbot.ini" send --yes; '
                          'status=$?; cp "$1/Tafelbot.ini" "$2"; exit $status')
                result = subprocess.run(["unshare", "-m", "sh", "-c", script, "sh", mount, run.ini,
                                         CLI], capture_output=True, text=True, timeout=120)
                self.assertEqual(result.returncode, 1, result.stderr)
                self.assertEqual(len(run.accepted()), 1, "the run stops at the failed save")
                self.assertEqual(read(run.ini), before, "the old file, whole")
                self.assertIn("wurde verschickt", result.stderr)


def read(path):
    with open(path, "rb") as source:
        return source.read()


if __name__ == "__main__":
    CLI = sys.argv.pop(1)
    unittest.main()
