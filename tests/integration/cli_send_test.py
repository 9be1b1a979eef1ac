#!/usr/bin/python3
"""tafelbot-cli mails, send, test-mail and print end to end: the demo school against the real SMTP
server (smtp_server.py). School is the harness the send-fault and OAuth tests share.

Usage: cli_send_test.py TAFELBOT_CLI
"""

import csv
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
DEMO = os.path.join(ROOT, "examples")
sys.path.insert(0, HERE)
import check_mime  # noqa: E402

CLI = None
COPY = "kontrolle@schule.example"
ACCOUNT = "vertretungsplan@schule.example"
GENERATED = re.compile(r"^am (\d\d)\.(\d\d)\.(\d{4}) um (\d\d)\.(\d\d) Uhr generiert\.(?:<br>)?$", re.M)
STAMP = re.compile(r",\d{12}\r$", re.M)  # the minute a record was sent


def teacher(key):
    return next(csv.reader([key]))[3]


def read(path):
    with open(path, "rb") as source:
        return source.read()


def start(test, *args):
    """A helper server (python script and arguments) that prints its port and ends when its
    standard input closes."""
    process = subprocess.Popen(["/usr/bin/python3", *args], stdin=subprocess.PIPE,
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)

    def stop():
        process.stdin.close()
        process.wait(timeout=20)
        process.stdout.close()
    test.addCleanup(stop)
    return process.stdout.readline().strip()


class School:
    """A folder of its own with a server and a school's settings pointed at it: the demo school
    (server block lines changed by `block`, lines put before it by `before`, no records unless
    `sent`), or with `teachers` the plain school of that many teachers from the demo's generator."""

    def __init__(self, test, *options, teachers=None, block=None, before=(), sent=True):
        self.dir = tempfile.TemporaryDirectory()
        test.addCleanup(self.dir.cleanup)
        self.maildir = os.path.join(self.dir.name, "mails")
        os.mkdir(self.maildir)
        port = start(test, os.path.join(HERE, "smtp_server.py"), self.maildir, *options)
        self.ini = os.path.join(self.dir.name, "Tafelbot.ini")
        self.env = dict(os.environ)
        if teachers:
            subprocess.run(["/usr/bin/python3", os.path.join(DEMO, "generate_demo.py"), "--school",
                            str(teachers), self.dir.name, port], check=True)
            return
        lines = read(os.path.join(DEMO, "demo.ini")).decode("cp1252").split("\n")
        if not sent:
            lines = lines[:lines.index("* Bisher gesendete eMails:\r") + 1] + [""]
        first = next(i for i, l in enumerate(lines) if l.startswith("* Mailserver")) + 1
        lines[3] = os.path.join(DEMO, "demo.gpn") + "\r"
        for offset, value in {2: port, **(block or {})}.items():
            lines[first + offset] = value + "\r"
        lines[first - 1:first - 1] = [line + "\r" for line in before]
        with open(self.ini, "wb") as target:
            target.write("\n".join(lines).encode("cp1252"))
        self.password = os.path.join(self.dir.name, "kennwort")
        with open(self.password, "w") as target:
            target.write("geheim\n")

    def cli(self, *args, **options):
        return subprocess.run([CLI, "--ini", self.ini, *args], capture_output=True, text=True,
                              timeout=120, env=self.env, stdin=subprocess.DEVNULL, **options)

    def send(self, *args):
        return self.cli("send", "--yes", "--password-file", self.password, *args)

    def rows(self):
        return json.loads(self.cli("rows", "--json").stdout)["rows"]

    def records(self):
        text = read(self.ini).decode("cp1252")
        return [r for r in text.split("* Bisher gesendete eMails:")[1].splitlines() if r]

    def messages(self):
        names = sorted(n[:-4] for n in os.listdir(self.maildir) if n.endswith(".eml"))
        return [(read(os.path.join(self.maildir, n + ".eml")),
                 json.loads(read(os.path.join(self.maildir, n + ".json")))) for n in names]


def demo_with_login(test):
    """The demo school with LOGIN, the control copy and the additional text, on a server that
    wants the account's password."""
    return School(test, "--user", ACCOUNT, "--require-auth",
                  block={9: "2", 11: "1", 12: COPY, 13: "1"})


def by_teacher(keys):
    grouped = {}
    for key in keys:
        grouped.setdefault(teacher(key), []).append(key)
    return {t: sorted(k) for t, k in grouped.items()}


def told(mails):
    """What the mails told: recipient, subject and both parts, without the minute of writing."""
    reports = [check_mime.check(raw) for raw in mails]
    return sorted((r["headers"]["To"], r["headers"]["Subject"], GENERATED.sub("", r["plain"]),
                   GENERATED.sub("", r["html"])) for r in reports)


def mails_of(school):
    return told(raw for raw, _ in school.messages())


def files_in(folder):
    return [read(os.path.join(folder, name)) for name in os.listdir(folder)]


def table(html):
    return html[html.index("<table"):html.index("</table>") + 8].replace("\n", "")


class SendTest(unittest.TestCase):
    def test_send_mails_what_mails_shows_and_records_each_row(self):
        demo = demo_with_login(self)
        marked = {teacher(r["Schluessel"]) for r in demo.rows() if r["HatEMail"] and r["Senden"]}
        previews = os.path.join(demo.dir.name, "vorschau")
        self.assertEqual(demo.cli("mails", "--out", previews).returncode, 0)

        sent = demo.send()
        self.assertEqual(sent.returncode, 0, sent.stderr)
        self.assertEqual(len(demo.messages()), len(marked))
        self.assertEqual(len(sent.stdout.splitlines()), len(marked))
        self.assertRegex(sent.stderr, r"\n%d von %d eMails versendet; \d+ Lehrkr(aft|äfte) ohne "
                         r"eMail-Adresse nicht benachrichtigt\n" % (len(marked), len(marked)))
        self.assertEqual(mails_of(demo), told(files_in(previews)))
        for raw, envelope in demo.messages():
            self.assertEqual(check_mime.check(raw)["defects"], [])
            self.assertIn(COPY, envelope["rcpt_tos"])
            self.assertNotIn(COPY, raw.decode("latin-1"))
        # Every row recorded as sent and unchanged: nothing is left to send. (The records
        # themselves, stamped and purged: tests/core/SendingTest.cpp.)
        again = demo.cli("send", "--yes")
        self.assertEqual(again.returncode, 0, "nothing to send is success")
        self.assertIn('info: In der Spalte "eMail" ist keine Zeile ausgewählt!\n', again.stderr)

        unchanged = read(demo.ini)
        test = demo.cli("test-mail", "--to", "probe@schule.example", "--password-file",
                        demo.password)
        self.assertEqual(test.returncode, 0, test.stderr)
        self.assertEqual(len(demo.messages()), len(marked) + 1)
        self.assertEqual(read(demo.ini), unchanged, "a test mail is never recorded")

    def test_overrides_hold_for_the_run_and_a_plan_not_read_sends_nothing(self):
        demo = demo_with_login(self)
        stored = read(demo.ini).decode("cp1252").split("\r\n")[1:10]  # file, date, period
        copy = shutil.copy(os.path.join(DEMO, "demo.gpn"), os.path.join(demo.dir.name, "kopie.gpn"))
        sent = demo.send("--gpn", copy, "--date", "20261208", "--period", "2")
        self.assertEqual(sent.returncode, 0, sent.stderr)
        self.assertTrue(demo.messages())
        self.assertTrue([r for r in demo.records() if r.startswith("20261208")])
        self.assertEqual(read(demo.ini).decode("cp1252").split("\r\n")[1:10], stored)

        unchanged, mailed = read(demo.ini), len(demo.messages())
        failed = demo.send("--gpn", os.path.join(demo.dir.name, "fehlt.gpn"))
        self.assertEqual(failed.returncode, 1)
        self.assertIn("error: Ohne gelesene gpn-Datei wird nichts versendet.", failed.stderr)
        self.assertEqual((read(demo.ini), len(demo.messages())), (unchanged, mailed))

    def test_days_do_what_single_day_runs_do(self):
        days = ("20261207", "20261208", "20261209")
        together, single = demo_with_login(self), demo_with_login(self)
        folder = lambda school, *parts: os.path.join(school.dir.name, "eml", *parts)
        for school, runs in ((together, [("--days", "3")]),
                             (single, [("--date", day) for day in days])):
            for run in runs:
                out = folder(school, run[1]) if school is single else folder(school)
                made = school.cli("mails", *run, "--out", out)
                self.assertEqual(made.returncode, 0, made.stderr)
                sent = school.send(*run)
                self.assertEqual(sent.returncode, 0, sent.stderr)
        files = lambda school: sorted((day, name) for day in os.listdir(folder(school))
                                      for name in os.listdir(folder(school, day)))
        self.assertEqual(files(together), files(single))
        self.assertEqual({day for day, _ in files(together)}, set(days))
        self.assertTrue(mails_of(together))
        self.assertEqual(mails_of(together), mails_of(single))
        strip = lambda school: [STAMP.sub("", r + "\r") for r in school.records()]
        self.assertEqual(strip(together), strip(single))

    def test_the_printed_plan_has_a_page_per_teacher_with_the_mails_table(self):
        demo = demo_with_login(self)
        with_rows = {teacher(r["Schluessel"]): r["HatEMail"] for r in demo.rows()
                     if r["Stunde"] != "-1"}
        previews = os.path.join(demo.dir.name, "vorschau")
        demo.cli("mails", "--out", previews)
        htmls = [check_mime.check(raw)["html"] for raw in files_in(previews)]
        # Mails that only say an earlier plan no longer holds: nothing of theirs is printed.
        tables = {table(h) for h in htmls if "keine Vertretungen" not in h}
        out = os.path.join(demo.dir.name, "plan.html")
        for option, expected in (([], len(with_rows)),
                                 (["--ohne-adresse"], list(with_rows.values()).count(False))):
            with self.subTest(option=option):
                printed = demo.cli("print", *option, "--out", out)
                self.assertEqual(printed.returncode, 0, printed.stderr)
                html = read(out).decode("utf-8")
                pages = html.split('<section class="seite">')[1:]
                self.assertEqual(len(pages), expected)
                self.assertIn("section.seite + section.seite { break-before: page;", html)
                self.assertIn("<h1>", pages[0])
                if not option:  # every mail's table is printed as it is
                    self.assertLessEqual(tables, {table(p) for p in pages})
        days = demo.cli("print", "--days", "2", "--out", out)
        self.assertEqual(days.returncode, 0, days.stderr)
        self.assertIn("Dienstag, den 08.12.2026", read(out).decode("utf-8"))


if __name__ == "__main__":
    CLI = sys.argv.pop(1)
    unittest.main()
