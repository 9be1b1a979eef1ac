#!/usr/bin/python3
"""tafelbot-cli mails, send and test-mail on the demo school against a real SMTP server.

Usage: cli_send_test.py TAFELBOT_CLI
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
DEMO = os.path.join(os.path.dirname(os.path.dirname(HERE)), "examples")
sys.path.insert(0, HERE)
import check_mime  # noqa: E402

CLI = None
COPY = "kontrolle@schule.example"
GENERATED = re.compile(r"^am (\d\d)\.(\d\d)\.(\d{4}) um (\d\d)\.(\d\d) Uhr generiert\.(?:<br>)?$", re.M)


def teacher(key):
    return next(csv.reader([key]))[3]


def read(path, mode="rb"):
    with open(path, mode) as source:
        return source.read()


class Demo:
    """A real server, and the demo school's settings pointed at it in a directory of their own."""

    def __init__(self, test, *server_options):
        self.dir = tempfile.TemporaryDirectory()
        test.addCleanup(self.dir.cleanup)
        self.maildir = os.path.join(self.dir.name, "mails")
        os.mkdir(self.maildir)
        self.server = subprocess.Popen(
            ["/usr/bin/python3", os.path.join(HERE, "smtp_server.py"), self.maildir, "--user",
             "vertretungsplan@schule.example", "--require-auth", *server_options],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        test.addCleanup(self.stop)
        port = self.server.stdout.readline().strip()

        lines = read(os.path.join(DEMO, "demo.ini")).decode("cp1252").split("\n")
        block = next(i for i, l in enumerate(lines) if l.startswith("* Mailserver")) + 1
        lines[3] = os.path.join(DEMO, "demo.gpn") + "\r"
        for offset, value in ((2, port), (9, "2"), (11, "1"), (12, COPY), (13, "1")):
            lines[block + offset] = value + "\r"  # port, LOGIN, control copy, additional text
        self.ini = os.path.join(self.dir.name, "Tafelbot.ini")
        with open(self.ini, "wb") as target:
            target.write("\n".join(lines).encode("cp1252"))
        self.password = os.path.join(self.dir.name, "kennwort")
        with open(self.password, "w") as target:
            target.write("geheim\n")

    def stop(self):
        self.server.stdin.close()
        self.server.wait(timeout=20)
        self.server.stdout.close()

    def cli(self, *args):
        return subprocess.run([CLI, "--ini", self.ini, *args], capture_output=True, text=True,
                              timeout=120)

    def rows(self):
        return json.loads(self.cli("rows", "--json").stdout)["rows"]

    def records(self):
        text = read(self.ini).decode("cp1252")
        return [r for r in text.split("* Bisher gesendete eMails:")[1].splitlines() if r]

    def messages(self):
        names = sorted(n[:-4] for n in os.listdir(self.maildir) if n.endswith(".eml"))
        return [(read(os.path.join(self.maildir, n + ".eml")),
                 json.loads(read(os.path.join(self.maildir, n + ".json")))) for n in names]


class SendTest(unittest.TestCase):
    def test_send_mails_every_marked_teacher_and_records_each_row(self):
        demo = Demo(self)
        before = demo.rows()
        marked = {teacher(r["Schluessel"]) for r in before if r["HatEMail"] and r["Senden"]}
        old = demo.records()
        previews = os.path.join(demo.dir.name, "vorschau")
        self.assertEqual(demo.cli("mails", "--out", previews).returncode, 0)
        expected = {}
        for name in os.listdir(previews):
            report = check_mime.check(read(os.path.join(previews, name)))
            expected[report["headers"]["To"]] = (name[:-4], report)

        sent = demo.cli("send", "--yes", "--password-file", demo.password)
        self.assertEqual(sent.returncode, 0, sent.stderr)
        messages = demo.messages()
        self.assertEqual(len(messages), len(marked))
        self.assertEqual(len(sent.stdout.splitlines()), len(marked))
        self.assertRegex(sent.stderr, r"\n%d von %d eMails versendet; \d+ Lehrkr(aft|äfte) ohne "
                         r"eMail-Adresse nicht benachrichtigt\n" % (len(marked), len(marked)))
        records = demo.records()
        after = demo.rows()
        for raw, envelope in messages:
            report = check_mime.check(raw)
            self.assertEqual(report["defects"], [])
            kurz, preview = expected.pop(report["headers"]["To"])
            for part in ("plain", "html"):  # the minute of composing may differ
                self.assertEqual(GENERATED.sub("", report[part]), GENERATED.sub("", preview[part]))
            self.assertEqual(report["headers"]["Subject"], preview["headers"]["Subject"])
            self.assertIn(COPY, envelope["rcpt_tos"])
            self.assertNotIn(COPY, raw.decode("latin-1"))
            # One record per row, stamped with the minute the mail names; earlier ones gone.
            day, month, year, hour, minute = GENERATED.search(report["plain"]).groups()
            keys = [r["Schluessel"] for r in before if teacher(r["Schluessel"]) == kurz]
            self.assertEqual(
                sorted(r for r in records if r.startswith("20261207") and teacher(r) == kurz),
                sorted(k + "," + year + month + day + hour + minute for k in keys))
            # Sent and unchanged now; a teacher told that nothing is left has no row any more.
            for row in (r for r in after if teacher(r["Schluessel"]) == kurz):
                self.assertEqual((row["Senden"], row["Gesendet"], row["Geaendert"]),
                                 (False, True, False), kurz)
        self.assertEqual(expected, {})
        again = demo.cli("send", "--yes")
        self.assertEqual(again.returncode, 0, "nothing to send is success")
        self.assertIn('info: In der Spalte "eMail" ist keine Zeile ausgewählt!\n', again.stderr)
        # Of the date's records only those of the mailed teachers went (older dates are purged).
        self.assertEqual([r for r in old if r.startswith("20261207") and r not in records],
                         [r for r in old if r.startswith("20261207") and teacher(r) in marked])

        unchanged = read(demo.ini)
        test = demo.cli("test-mail", "--to", "probe@schule.example", "--password-file",
                        demo.password)
        self.assertEqual(test.returncode, 0, test.stderr)
        self.assertEqual(len(demo.messages()), len(marked) + 1)
        self.assertEqual(read(demo.ini), unchanged, "a test mail is never recorded")

    def test_failures_record_nothing_and_fail_the_run(self):
        for options, expected in (
                (["--refuse-password"],
                 "error: Fehler bei folgender SMTP-Server-Aktion: smtpAuth (Authentifizierung)"),
                (["--stall-in-data"],
                 "error: Der SMTP-Server hat die Sitzung nicht innerhalb von 1 Sekunde")):
            with self.subTest(options=options):
                demo = Demo(self, *options)
                unchanged = read(demo.ini)
                sent = demo.cli("send", "--yes", "--timeout", "1", "--password-file",
                                demo.password)
                self.assertNotEqual(sent.returncode, 0)
                self.assertIn(expected, sent.stderr)
                self.assertEqual(sent.returncode, 1)
                self.assertRegex(sent.stderr, r"\n0 von \d+ eMails versendet")
                self.assertEqual(sent.stdout, "")
                self.assertEqual(read(demo.ini), unchanged)

    def test_overrides_hold_for_the_run_and_a_plan_not_read_sends_nothing(self):
        demo = Demo(self)
        stored = read(demo.ini).decode("cp1252").split("\r\n")[1:10]  # file, date, period
        copy = os.path.join(demo.dir.name, "kopie.gpn")
        with open(copy, "wb") as target:
            target.write(read(os.path.join(DEMO, "demo.gpn")))
        sent = demo.cli("send", "--yes", "--password-file", demo.password, "--gpn", copy,
                        "--date", "20261208", "--period", "2", "--teacher", "ral")
        self.assertEqual(sent.returncode, 2)
        self.assertIn("Bitte einen dieser Kurznamen angeben: ADL BAU", sent.stderr)
        sent = demo.cli("send", "--yes", "--password-file", demo.password, "--gpn", copy,
                        "--date", "20261208", "--period", "2")
        self.assertEqual(sent.returncode, 0, sent.stderr)
        self.assertTrue(demo.messages())
        self.assertTrue([r for r in demo.records() if r.startswith("20261208")])
        self.assertEqual(read(demo.ini).decode("cp1252").split("\r\n")[1:10], stored)

        unchanged, mailed = read(demo.ini), len(demo.messages())
        failed = demo.cli("send", "--yes", "--password-file", demo.password, "--gpn",
                          os.path.join(demo.dir.name, "fehlt.gpn"))
        self.assertEqual(failed.returncode, 1)
        self.assertIn("error: Ohne gelesene gpn-Datei wird nichts versendet.", failed.stderr)
        self.assertEqual((read(demo.ini), len(demo.messages())), (unchanged, mailed))

STAMP = re.compile(r",\d{12}\r$", re.M)  # the minute a record was sent


def mails_of(demo):
    """What every mail told: recipient, subject and both parts, without the minute of writing."""
    told = []
    for raw, _ in demo.messages():
        report = check_mime.check(raw)
        told.append((report["headers"]["To"], report["headers"]["Subject"],
                     GENERATED.sub("", report["plain"]), GENERATED.sub("", report["html"])))
    return sorted(told)


def tables_of_notices(previews):
    """Mails that only say an earlier plan no longer holds: nothing of theirs is printed."""
    for name in os.listdir(previews):
        html = check_mime.check(read(os.path.join(previews, name)))["html"]
        if "keine Vertretungen" in html:
            yield html[html.index("<table"):html.index("</table>") + 8].replace("\n", "")


class DaysTest(unittest.TestCase):
    DAYS = ("20261207", "20261208", "20261209")

    def test_days_do_what_single_day_runs_do(self):
        together, single = Demo(self), Demo(self)
        folder = lambda demo, *parts: os.path.join(demo.dir.name, "eml", *parts)
        made = together.cli("mails", "--days", "3", "--out", folder(together))
        self.assertEqual(made.returncode, 0, made.stderr)
        sent = together.cli("send", "--yes", "--password-file", together.password, "--days", "3")
        self.assertEqual(sent.returncode, 0, sent.stderr)
        for day in self.DAYS:
            made = single.cli("mails", "--date", day, "--out", folder(single, day))
            self.assertEqual(made.returncode, 0, made.stderr)
            sent = single.cli("send", "--yes", "--password-file", single.password, "--date", day)
            self.assertEqual(sent.returncode, 0, sent.stderr)
        files = lambda demo: sorted((day, name) for day in os.listdir(folder(demo))
                                    for name in os.listdir(folder(demo, day)))
        self.assertEqual(files(together), files(single))
        self.assertEqual({day for day, _ in files(together)}, set(self.DAYS))
        self.assertTrue(mails_of(together))
        self.assertEqual(mails_of(together), mails_of(single))
        strip = lambda demo: [STAMP.sub("", r + "\r") for r in demo.records()]
        self.assertEqual(strip(together), strip(single))

    def test_the_printed_plan_has_a_page_per_teacher_with_the_mails_table(self):
        demo = Demo(self)
        rows = demo.rows()
        with_rows = {teacher(r["Schluessel"]): r["HatEMail"] for r in rows if r["Stunde"] != "-1"}
        previews = os.path.join(demo.dir.name, "vorschau")
        demo.cli("mails", "--out", previews)
        table = lambda html: html[html.index("<table"):html.index("</table>") + 8].replace("\n", "")
        tables = {table(check_mime.check(read(os.path.join(previews, n)))["html"])
                  for n in os.listdir(previews)} - {t for t in tables_of_notices(previews)}
        for option, expected in (([], len(with_rows)),
                                 (["--ohne-adresse"], list(with_rows.values()).count(False))):
            with self.subTest(option=option):
                out = os.path.join(demo.dir.name, "plan.html")
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
