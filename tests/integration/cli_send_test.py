#!/usr/bin/python3
"""tafelbot-cli mails, send and test-mail on the demo school against a real SMTP server.

Usage: cli_send_test.py TAFELBOT_CLI
Every mail received must parse without defects and say what the composer made (the preview of
`mails`); the settings file must then hold exactly the records of what went out.
"""

import csv
import json
import os
import re
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, HERE)
import check_mime  # noqa: E402

CLI = None
COPY = "kontrolle@schule.example"
GENERATED = re.compile(r"^am (\d\d)\.(\d\d)\.(\d{4}) um (\d\d)\.(\d\d) Uhr generiert\.$", re.M)


class Server:
    def __init__(self, *options):
        self.maildir = tempfile.mkdtemp()
        self.process = subprocess.Popen(
            ["/usr/bin/python3", os.path.join(HERE, "smtp_server.py"), self.maildir,
             "--user", "vertretungsplan@schule.example", "--require-auth", *options],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        self.port = self.process.stdout.readline().strip()

    def close(self):
        self.process.stdin.close()
        self.process.wait(timeout=20)
        self.process.stdout.close()

    def messages(self):
        names = sorted(n for n in os.listdir(self.maildir) if n.endswith(".eml"))
        result = []
        for name in names:
            with open(os.path.join(self.maildir, name), "rb") as mail:
                raw = mail.read()
            with open(os.path.join(self.maildir, name[:-4] + ".json"), encoding="utf-8") as env:
                result.append((raw, json.load(env)))
        return result


class Run:
    """The demo school's settings, pointed at a server, in a directory of their own."""

    def __init__(self, server):
        self.dir = tempfile.mkdtemp()
        self.ini = os.path.join(self.dir, "Tafelbot.ini")
        with open(os.path.join(SOURCE, "examples", "demo.ini"), encoding="cp1252") as source:
            lines = source.read().split("\n")
        block = next(i for i, l in enumerate(lines) if l.startswith("* Mailserver")) + 1
        lines[3] = os.path.join(SOURCE, "examples", "demo.gpn") + "\r"
        for offset, value in ((2, server.port), (9, "2"), (11, "1"), (12, COPY), (13, "1")):
            lines[block + offset] = value + "\r"
        with open(self.ini, "w", encoding="cp1252", newline="") as target:
            target.write("\n".join(lines))
        self.password = os.path.join(self.dir, "kennwort")
        with open(self.password, "w") as target:
            target.write("geheim\n")

    def cli(self, *args):
        return subprocess.run([CLI, "--ini", self.ini, *args], capture_output=True, text=True,
                              timeout=120)

    def rows(self):
        return json.loads(self.cli("rows", "--json").stdout)["rows"]

    def records(self):
        with open(self.ini, encoding="cp1252") as ini:
            text = ini.read()
        return [r for r in text.split("* Bisher gesendete eMails:")[1].splitlines() if r]


def teacher(key):
    return next(csv.reader([key]))[3]


def without_generated(text):
    return GENERATED.sub("", text)


class SendTest(unittest.TestCase):
    def test_send_mails_every_marked_teacher_and_records_each_row(self):
        server = Server()
        self.addCleanup(server.close)
        run = Run(server)
        before = run.rows()
        marked = {r["Vertreter"] for r in before if r["HatEMail"] and r["Senden"]}
        old = run.records()
        previews = os.path.join(run.dir, "vorschau")
        self.assertEqual(run.cli("mails", "--out", previews).returncode, 0)
        expected = {}
        for name in os.listdir(previews):
            with open(os.path.join(previews, name), "rb") as preview:
                report = check_mime.check(preview.read())
            expected[report["headers"]["To"]] = (name[:-4], report)

        sent = run.cli("send", "--yes", "--password-file", run.password)
        self.assertEqual(sent.returncode, 0, sent.stderr)

        messages = server.messages()
        self.assertEqual(len(messages), len(marked))
        records = run.records()
        after = run.rows()
        for raw, envelope in messages:
            report = check_mime.check(raw)
            self.assertEqual(report["defects"], [])
            kurz, preview = expected.pop(report["headers"]["To"])
            for part in ("plain", "html"):
                self.assertEqual(without_generated(report[part]),
                                 without_generated(preview[part]))
            self.assertEqual(report["headers"]["Subject"], preview["headers"]["Subject"])
            self.assertIn(COPY, envelope["rcpt_tos"])
            self.assertNotIn(COPY, raw.decode("latin-1"))
            # One record per row, stamped with the minute the mail says it was made; the
            # teacher's earlier records of the date are gone.
            day, month, year, hour, minute = GENERATED.search(report["plain"]).groups()
            stamp = year + month + day + hour + minute
            rows = [r for r in before if teacher(r["Schluessel"]) == kurz]
            self.assertEqual(sorted(r for r in records
                                    if r.startswith("20261207") and teacher(r) == kurz),
                             sorted(r["Schluessel"] + "," + stamp for r in rows))
            # A teacher told that nothing is left has no row any more.
            for row in (r for r in after if teacher(r["Schluessel"]) == kurz):
                self.assertEqual((row["Senden"], row["Gesendet"], row["Geaendert"]),
                                 (False, True, False), kurz)
        self.assertEqual(expected, {})
        # Of the date's records only those of the mailed teachers went (older dates are purged).
        self.assertEqual([r for r in old if r.startswith("20261207") and r not in records],
                         [r for r in old if r.startswith("20261207")
                          and teacher(r) in {teacher(x["Schluessel"]) for x in before
                                             if x["Vertreter"] in marked}])

        # The test mail goes out and changes nothing.
        with open(run.ini, "rb") as ini:
            unchanged = ini.read()
        test = run.cli("test-mail", "--to", "probe@schule.example", "--password-file",
                       run.password)
        self.assertEqual(test.returncode, 0, test.stderr)
        self.assertEqual(len(server.messages()), len(marked) + 1)
        with open(run.ini, "rb") as ini:
            self.assertEqual(ini.read(), unchanged)

    def test_failures_record_nothing_and_fail_the_run(self):
        for options, expected in (
                (["--refuse-password"],
                 "error: Fehler bei folgender SMTP-Server-Aktion: smtpAuth (Authentifizierung)"),
                (["--stall-in-data"],
                 "error: Der SMTP-Server hat die Sitzung nicht innerhalb von 1 Sekunde")):
            with self.subTest(options=options):
                server = Server(*options)
                self.addCleanup(server.close)
                run = Run(server)
                with open(run.ini, "rb") as ini:
                    unchanged = ini.read()
                sent = run.cli("send", "--yes", "--timeout", "1", "--password-file",
                               run.password)
                self.assertNotEqual(sent.returncode, 0)
                self.assertIn(expected, sent.stderr)
                self.assertIn("0 mail(s) sent, not all of them", sent.stdout)
                with open(run.ini, "rb") as ini:
                    self.assertEqual(ini.read(), unchanged)


if __name__ == "__main__":
    CLI = sys.argv.pop(1)
    unittest.main()
