#!/usr/bin/python3
"""The calendar attachment of tafelbot-cli mails on the demo school, read with python3-icalendar.

A first mail, then a changed plan (one lesson gone, one room changed) mailed again after the
first mail was recorded: the events keep their UIDs, the vanished lesson comes as cancelled.

Usage: calendar_test.py TAFELBOT_CLI
"""

import csv
import datetime
import email
import email.policy
import json
import os
import subprocess
import sys
import tempfile
import unittest

import icalendar

DEMO = os.path.join(os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))),
                    "examples")
CLI = None
TIMES = "1=07:45-08:30; 2=08:35-09:20;3=09:40-10:25;4=10:30-11:15;5=12:00-1245;" \
        "6=12:25-13:10;7=13:15-14:00;8=14:00-14:45"


def read(path):
    with open(path, "rb") as source:
        return source.read()


class School:
    """The demo school in a directory of its own, with the calendar switched on."""

    def __init__(self, test):
        self.dir = tempfile.TemporaryDirectory()
        test.addCleanup(self.dir.cleanup)
        self.gpn = os.path.join(self.dir.name, "plan.gpn")
        self.plan(lambda line: line)
        lines = read(os.path.join(DEMO, "demo.ini")).decode("cp1252").split("\n")
        lines[3] = self.gpn + "\r"
        server = next(i for i, l in enumerate(lines) if l.startswith("* Mailserver"))
        records = next(i for i, l in enumerate(lines) if l.startswith("* Bisher gesendete"))
        self.head = lines[:server] + ["Kalender=1\r", "Stundenzeiten=" + TIMES + "\r"] + \
            lines[server:records + 1]
        self.records([])

    def plan(self, change):
        """The demo plan, each line passed through `change`."""
        lines = read(os.path.join(DEMO, "demo.gpn")).decode("cp1252").split("\n")
        with open(self.gpn, "wb") as target:
            target.write("\n".join(change(l) for l in lines).encode("cp1252"))

    def records(self, records):
        self.ini = os.path.join(self.dir.name, "Tafelbot.ini")
        with open(self.ini, "wb") as target:
            target.write("\n".join(self.head + [r + "\r" for r in records] + [""]).encode("cp1252"))

    def run(self, *args):
        return subprocess.run([CLI, "--ini", self.ini, *args, "--date", "20261207"],
                              capture_output=True, text=True, timeout=120)

    def rows(self):
        return json.loads(self.run("rows", "--json").stdout)["rows"]

    def calendars(self):
        """Each mailed teacher's calendar, and what the run said on stderr."""
        out = os.path.join(self.dir.name, "mails")
        done = self.run("mails", "--out", out)
        assert done.returncode == 0, done.stderr
        calendars = {}
        for name in os.listdir(out):
            mail = email.message_from_bytes(read(os.path.join(out, name)), policy=email.policy.SMTP)
            parts = [p for p in mail.walk() if p.get_content_type() == "text/calendar"]
            if parts:
                calendars[name[:-4]] = icalendar.Calendar.from_ical(parts[0].get_payload(decode=True))
            os.remove(os.path.join(out, name))
        return calendars, done.stderr


def teacher_of(row):
    return next(csv.reader([row["Schluessel"]]))[3]


def events(calendar):
    return {str(e["UID"]): e for e in calendar.walk("VEVENT")}


class CalendarTest(unittest.TestCase):
    def test_first_mail_then_a_changed_plan(self):
        school = School(self)
        first, log = school.calendars()
        self.assertEqual(log.count('Der Eintrag "5=12:00-1245"'), 1, log)  # once, not per mail
        rows = school.rows()

        for teacher, calendar in first.items():
            self.assertEqual(calendar["METHOD"], "PUBLISH")
            zone = calendar.walk("VTIMEZONE")
            self.assertEqual([str(z["TZID"]) for z in zone], ["Europe/Berlin"])
            mine = [r for r in rows if teacher_of(r) == teacher and r["Stunde"] != "-1"]
            self.assertEqual(len(events(calendar)), len(mine), teacher)
            for event in calendar.walk("VEVENT"):
                self.assertEqual(event["STATUS"], "CONFIRMED")
                lesson = str(event["UID"]).split("-")[1]
                start, end = event.decoded("DTSTART"), event.decoded("DTEND")
                if lesson == "1":  # in the table: timed, German time
                    self.assertEqual((start.hour, start.minute, end.hour, end.minute), (7, 45, 8, 30))
                    self.assertEqual(start.utcoffset(), datetime.timedelta(hours=1))
                elif lesson in ("5", "10"):  # a broken entry and a lesson not in the table
                    self.assertEqual((type(start), end - start), (datetime.date, datetime.timedelta(1)))

        # The first mails are recorded as a send records them; then lesson 5 of ADL moves to
        # another day and the room of lesson 1 changes.
        school.records([r["Schluessel"] + ",202612060715" for r in rows if r["HatEMail"]])
        school.plan(lambda l: l.replace(",20261207,", ",20261208,") if l.startswith("0V,354,") else
                    l.replace(",Aula,", ",A105,") if l.startswith("0V,343,") else l)
        later, _ = school.calendars()
        self.assertEqual(list(later), ["ADL"])
        before, after = events(first["ADL"]), events(later["ADL"])
        self.assertEqual(set(after), set(before))  # the same events, one of them cancelled
        cancelled = [u for u, e in after.items() if e["STATUS"] == "CANCELLED"]
        self.assertEqual([str(before[u]["SUMMARY"]) for u in cancelled], ["Vertretung 5. Std. DE 9c"])
        moved = next(e for e in after.values() if str(e["LOCATION"]) == "A105")
        self.assertEqual(str(before[str(moved["UID"])]["LOCATION"]), "Aula")


if __name__ == "__main__":
    CLI = sys.argv.pop(1)
    unittest.main()
