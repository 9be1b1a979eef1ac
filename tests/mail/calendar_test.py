#!/usr/bin/python3
"""The calendar attachment of tafelbot-cli mails on the demo school, read with python3-icalendar.
(A later mail's events under the same UIDs, a vanished lesson cancelled: MailComposerTest.)

Usage: calendar_test.py TAFELBOT_CLI
"""

import datetime
import email
import email.policy
import os
import sys
import unittest

import icalendar

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))),
                                "integration"))
import cli_send_test  # noqa: E402
from cli_send_test import read, teacher  # noqa: E402

TIMES = "1=07:45-08:30; 2=08:35-09:20;3=09:40-10:25;4=10:30-11:15;5=12:00-1245;" \
        "6=12:25-13:10;7=13:15-14:00;8=14:00-14:45"


class School(cli_send_test.School):
    """The demo school with the calendar switched on and no mail sent yet."""

    def __init__(self, test):
        super().__init__(test, before=["Kalender=1", "Stundenzeiten=" + TIMES], sent=False)

    def calendars(self):
        """Each mailed teacher's calendar, and what the run said on stderr."""
        done = self.cli("mails", "--out", self.maildir)
        assert done.returncode == 0, done.stderr
        calendars = {}
        for name in os.listdir(self.maildir):
            mail = email.message_from_bytes(read(os.path.join(self.maildir, name)),
                                            policy=email.policy.SMTP)
            parts = [p for p in mail.walk() if p.get_content_type() == "text/calendar"]
            if parts:
                calendars[name[:-4]] = icalendar.Calendar.from_ical(parts[0].get_payload(decode=True))
        return calendars, done.stderr


class CalendarTest(unittest.TestCase):
    def test_every_event_of_a_first_mail(self):
        school = School(self)
        calendars, log = school.calendars()
        self.assertEqual(log.count('Der Eintrag "5=12:00-1245"'), 1, log)  # once, not per mail
        rows = school.rows()
        self.assertIn("ADL", calendars)

        for kurz, calendar in calendars.items():
            self.assertEqual(calendar["METHOD"], "PUBLISH")
            self.assertEqual([str(z["TZID"]) for z in calendar.walk("VTIMEZONE")], ["Europe/Berlin"])
            mine = [r for r in rows if teacher(r["Schluessel"]) == kurz and r["Stunde"] != "-1"]
            self.assertEqual(len(calendar.walk("VEVENT")), len(mine), kurz)
            for event in calendar.walk("VEVENT"):
                self.assertEqual(event["STATUS"], "CONFIRMED")
                lesson = str(event["UID"]).split("-")[1]
                start, end = event.decoded("DTSTART"), event.decoded("DTEND")
                if lesson == "1":  # in the table: timed, German time
                    self.assertEqual((start.hour, start.minute, end.hour, end.minute), (7, 45, 8, 30))
                    self.assertEqual(start.utcoffset(), datetime.timedelta(hours=1))
                elif lesson in ("5", "10"):  # a broken entry and a lesson not in the table
                    self.assertEqual((type(start), end - start), (datetime.date, datetime.timedelta(1)))


if __name__ == "__main__":
    cli_send_test.CLI = sys.argv.pop(1)
    unittest.main()
