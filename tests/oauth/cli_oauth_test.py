#!/usr/bin/python3
"""tafelbot-cli oauth-login, send and test-mail against the local OAuth provider and the real SMTP
server checking bearer tokens, all on 127.0.0.1.

Usage: cli_oauth_test.py TAFELBOT_CLI
"""

import json
import os
import subprocess
import sys
import time
import unittest
import urllib.request

HERE = os.path.dirname(os.path.abspath(__file__))
INTEGRATION = os.path.join(os.path.dirname(HERE), "integration")
sys.path.insert(0, INTEGRATION)
import cli_send_test  # noqa: E402
from cli_send_test import ACCOUNT, read, start  # noqa: E402

TOKEN = "zugang-42"  # every access token the provider issues


class School(cli_send_test.School):
    """The demo school signing in at the local provider, with a data directory of its own."""

    def __init__(self, test):
        self.base = "http://127.0.0.1:" + start(test, os.path.join(INTEGRATION, "oauth_provider.py"),
                                                "--access-token", TOKEN)
        super().__init__(test, "--user", ACCOUNT, "--require-auth", "--bearer-token", TOKEN,
                         before=[
                             "OAuth=custom", "OAuthClientId=schule",
                             "OAuthDeviceUrl=" + self.base + "/device",
                             "OAuthTokenUrl=" + self.base + "/token", "OAuthScope=smtp"])
        self.env.update(XDG_DATA_HOME=os.path.join(self.dir.name, "daten"),
                        DBUS_SESSION_BUS_ADDRESS="unix:path=/nonexistent")
        self.env.pop("DISPLAY", None)
        self.env.pop("WAYLAND_DISPLAY", None)

    def call(self, path):
        with urllib.request.urlopen(self.base + path, timeout=10) as reply:
            return json.load(reply)

    def login(self):
        login = subprocess.Popen([cli_send_test.CLI, "--ini", self.ini, "oauth-login", "--device"],
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
        with open(self.stored(), "w") as target:
            json.dump(dict(stored, expires_at=0), target)
        return stored


# A token the server refuses: the engine's test (the exchange, the token never in the log) and the
# send test (a refused sign-in sends and records nothing).
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
        self.assertAlmostEqual(renewed["expires_at"], time.time() + 3600, delta=300)
        self.assertEqual(school.call("/stats")["refreshes"], 1, "once for the whole run")

        school.call("/revoke")
        school.expire()
        refused = school.cli("test-mail", "--to", "probe@schule.example")
        self.assertEqual(refused.returncode, 1)
        self.assertIn("Bitte neu anmelden", refused.stderr)
        self.assertEqual(len(school.messages()), count)

        self.assertEqual({envelope["mechanism"] for _, envelope in school.messages()},
                         {"OAUTHBEARER"})
        seen = out + err + sent.stdout + sent.stderr + test.stderr + refused.stderr
        seen += read(school.ini).decode("cp1252")
        for secret in (TOKEN, first["refresh_token"], renewed["refresh_token"]):
            self.assertNotIn(secret, seen)


if __name__ == "__main__":
    cli_send_test.CLI = sys.argv.pop(1)
    unittest.main()
