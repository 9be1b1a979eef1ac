#!/usr/bin/python3
"""tafelbot-cli oauth-login, send and test-mail against the local OAuth provider and the real SMTP
server checking bearer tokens, all on 127.0.0.1.

Usage: cli_oauth_test.py TAFELBOT_CLI
"""

import json
import os
import subprocess
import sys
import tempfile
import unittest
import urllib.request

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
INTEGRATION = os.path.join(ROOT, "tests", "integration")
ACCOUNT = "vertretungsplan@schule.example"
TOKEN = "zugang-42"  # every access token the provider issues
CLI = None


def read(path):
    with open(path, "rb") as source:
        return source.read()


def start(args):
    process = subprocess.Popen(["/usr/bin/python3", *args], stdin=subprocess.PIPE,
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    return process, process.stdout.readline().strip()


def stop(process):
    process.stdin.close()
    process.wait(timeout=20)
    process.stdout.close()


class School:
    """The demo school signing in at the local provider, with a data directory of its own."""

    def __init__(self, test, accepted=TOKEN, *server_options):
        self.dir = tempfile.TemporaryDirectory()
        test.addCleanup(self.dir.cleanup)
        self.provider, port = start([os.path.join(INTEGRATION, "oauth_provider.py"),
                                     "--access-token", TOKEN])
        test.addCleanup(stop, self.provider)
        self.base = "http://127.0.0.1:" + port
        self.maildir = os.path.join(self.dir.name, "mails")
        os.mkdir(self.maildir)
        self.server, smtp_port = start([os.path.join(INTEGRATION, "smtp_server.py"),
                                        self.maildir, "--user", ACCOUNT, "--require-auth",
                                        "--bearer-token", accepted, *server_options])
        test.addCleanup(stop, self.server)

        lines = read(os.path.join(ROOT, "examples", "demo.ini")).decode("cp1252").split("\n")
        block = next(i for i, l in enumerate(lines) if l.startswith("* Mailserver"))
        lines[3] = os.path.join(ROOT, "examples", "demo.gpn") + "\r"
        lines[block + 3] = smtp_port + "\r"
        lines[block:block] = [l + "\r" for l in (
            "OAuth=custom", "OAuthClientId=schule", "OAuthDeviceUrl=" + self.base + "/device",
            "OAuthTokenUrl=" + self.base + "/token", "OAuthScope=smtp")]
        self.ini = os.path.join(self.dir.name, "Tafelbot.ini")
        with open(self.ini, "wb") as target:
            target.write("\n".join(lines).encode("cp1252"))
        self.env = dict(os.environ, XDG_DATA_HOME=os.path.join(self.dir.name, "daten"),
                        DBUS_SESSION_BUS_ADDRESS="unix:path=/nonexistent")
        self.env.pop("DISPLAY", None)
        self.env.pop("WAYLAND_DISPLAY", None)

    def cli(self, *args):
        return subprocess.run([CLI, "--ini", self.ini, *args], capture_output=True, text=True,
                              timeout=120, env=self.env, stdin=subprocess.DEVNULL)

    def call(self, path, data=None):
        with urllib.request.urlopen(self.base + path, data=data, timeout=10) as reply:
            return json.load(reply)

    def login(self):
        login = subprocess.Popen([CLI, "--ini", self.ini, "oauth-login", "--device"],
                                 stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                                 env=self.env)
        address, code = login.stdout.readline(), login.stdout.readline()
        self.call("/approve?user_code=" + code.split(": ")[1].strip())
        out, err = login.communicate(timeout=60)
        return login.returncode, address + code + out, err

    def stored(self):
        folder = os.path.join(self.dir.name, "daten", "Tafelbot")
        [name] = os.listdir(folder)
        return os.path.join(folder, name)

    def expire(self):
        stored = json.loads(read(self.stored()))
        stored["expires_at"] = 0
        with open(self.stored(), "w") as target:
            json.dump(stored, target)
        return stored

    def messages(self):
        return sorted(n for n in os.listdir(self.maildir) if n.endswith(".json"))

    def mechanisms(self):
        return [json.loads(read(os.path.join(self.maildir, n)))["mechanism"]
                for n in self.messages()]


class OAuthCliTest(unittest.TestCase):
    def test_sign_in_once_then_send_refresh_and_revoke(self):
        school = School(self)
        unchanged = read(school.ini)
        before = school.cli("send", "--yes")
        self.assertEqual(before.returncode, 1)
        self.assertIn("noch keine Anmeldung", before.stderr)
        self.assertNotIn("Kennwort", before.stderr, "never a password prompt with OAuth")
        self.assertEqual((school.messages(), read(school.ini)), ([], unchanged))

        status, out, err = school.login()
        self.assertEqual(status, 0, err)
        self.assertRegex(out, r"^Adresse: http://127\.0\.0\.1/geraet\nCode: ABCD-\d+\n")
        self.assertEqual(os.stat(school.stored()).st_mode & 0o777, 0o600)
        first = json.loads(read(school.stored()))

        test = school.cli("test-mail", "--to", "probe@schule.example")
        self.assertEqual(test.returncode, 0, test.stderr)
        self.assertEqual(school.call("/stats")["refreshes"], 0)

        old = school.expire()
        sent = school.cli("send", "--yes")
        self.assertEqual(sent.returncode, 0, sent.stderr)
        count = len(school.messages())
        self.assertGreater(count, 1)
        renewed = json.loads(read(school.stored()))
        self.assertNotEqual(renewed["refresh_token"], old["refresh_token"], "rotated and stored")
        self.assertEqual(school.call("/stats")["refreshes"], 1, "once for the whole run")

        school.call("/revoke")
        school.expire()
        refused = school.cli("test-mail", "--to", "probe@schule.example")
        self.assertEqual(refused.returncode, 1)
        self.assertIn("Bitte neu anmelden", refused.stderr)
        self.assertEqual(len(school.messages()), count)

        self.assertEqual(set(school.mechanisms()), {"OAUTHBEARER"})
        seen = out + err + sent.stdout + sent.stderr + test.stderr + refused.stderr
        seen += read(school.ini).decode("cp1252")
        for secret in (TOKEN, first["refresh_token"], renewed["refresh_token"]):
            self.assertNotIn(secret, seen)

    def test_a_refused_token_sends_and_records_nothing(self):
        for options in ([], ["--auth-exclude", "OAUTHBEARER"]):
            with self.subTest(options=options):
                school = School(self, "ein-anderes", *options)
                self.assertEqual(school.login()[0], 0)
                unchanged = read(school.ini)
                sent = school.cli("send", "--yes")
                self.assertEqual(sent.returncode, 1)
                self.assertIn("smtpAuth (Authentifizierung)", sent.stderr)
                self.assertNotIn(TOKEN, sent.stderr + sent.stdout)
                self.assertEqual((school.messages(), read(school.ini)), ([], unchanged))


if __name__ == "__main__":
    CLI = sys.argv.pop(1)
    unittest.main()
