#!/usr/bin/python3
"""tafelbot-cli send and test-mail on the demo school through servers that demand STARTTLS or
TLS from the first byte, verified against a CA of the test's own that SSL_CERT_FILE names.

Usage: cli_tls_test.py TAFELBOT_CLI
"""

import json
import os
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
DEMO = os.path.join(os.path.dirname(os.path.dirname(HERE)), "examples")
sys.path.insert(0, HERE)
import check_mime  # noqa: E402

CLI = None
CERTS = None


def read(path):
    with open(path, "rb") as source:
        return source.read()


def openssl(directory, *args):
    subprocess.run(["openssl", *args], cwd=directory, check=True, capture_output=True)


def make_certificates(directory):
    """A CA, a certificate for localhost by it and one for another name."""
    with open(os.path.join(directory, "ca.ext"), "w") as ext:
        ext.write("basicConstraints=critical,CA:TRUE\nkeyUsage=critical,keyCertSign,cRLSign\n")
    openssl(directory, "ecparam", "-name", "prime256v1", "-genkey", "-noout", "-out", "ca.key")
    openssl(directory, "req", "-new", "-key", "ca.key", "-subj", "/CN=CLI-Test-CA", "-out", "ca.csr")
    openssl(directory, "x509", "-req", "-in", "ca.csr", "-signkey", "ca.key", "-days", "30",
            "-extfile", "ca.ext", "-out", "ca.pem")
    for name, alt in (("localhost", "DNS:localhost"), ("anderer", "DNS:anderer.test")):
        with open(os.path.join(directory, name + ".ext"), "w") as ext:
            ext.write("extendedKeyUsage=serverAuth\nsubjectAltName=" + alt + "\n")
        openssl(directory, "ecparam", "-name", "prime256v1", "-genkey", "-noout", "-out",
                name + ".key")
        openssl(directory, "req", "-new", "-key", name + ".key", "-subj", "/CN=" + name, "-out",
                name + ".csr")
        openssl(directory, "x509", "-req", "-in", name + ".csr", "-CA", "ca.pem", "-CAkey",
                "ca.key", "-CAcreateserial", "-days", "30", "-extfile", name + ".ext", "-out",
                name + ".pem")


class Demo:
    """A TLS server, and the demo school's settings pointed at it by name."""

    def __init__(self, test, certificate, security, *server_options):
        self.dir = tempfile.TemporaryDirectory()
        test.addCleanup(self.dir.cleanup)
        self.maildir = os.path.join(self.dir.name, "mails")
        os.mkdir(self.maildir)
        self.server = subprocess.Popen(
            ["/usr/bin/python3", os.path.join(HERE, "smtp_server.py"), self.maildir, "--user",
             "vertretungsplan@schule.example", "--require-auth",
             "--tls-cert", os.path.join(CERTS, certificate + ".pem"),
             "--tls-key", os.path.join(CERTS, certificate + ".key"), *server_options],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        test.addCleanup(self.stop)
        port = self.server.stdout.readline().strip()

        lines = read(os.path.join(DEMO, "demo.ini")).decode("cp1252").split("\n")
        block = next(i for i, l in enumerate(lines) if l.startswith("* Mailserver")) + 1
        lines[3] = os.path.join(DEMO, "demo.gpn") + "\r"
        for offset, value in ((1, "localhost"), (2, port), (9, "2")):
            lines[block + offset] = value + "\r"  # host by name, port, LOGIN
        # Where an older version skips it: between the deletion days and the server block.
        lines.insert(block - 1, "Verbindungssicherheit=" + security + "\r")
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
        env = dict(os.environ, SSL_CERT_FILE=os.path.join(CERTS, "ca.pem"))
        return subprocess.run([CLI, "--ini", self.ini, *args], capture_output=True, text=True,
                              timeout=120, env=env)

    def messages(self):
        names = sorted(n[:-4] for n in os.listdir(self.maildir) if n.endswith(".eml"))
        result = []
        for name in names:
            with open(os.path.join(self.maildir, name + ".eml"), "rb") as eml, \
                    open(os.path.join(self.maildir, name + ".json")) as envelope:
                result.append((eml.read(), json.load(envelope)))
        return result


class TlsTest(unittest.TestCase):
    def test_send_and_test_mail_through_starttls_and_tls(self):
        for security, options in (("STARTTLS", ["--require-starttls", "--auth-require-tls"]),
                                  ("TLS", ["--implicit-tls"])):
            with self.subTest(security=security):
                demo = Demo(self, "localhost", security, *options)
                sent = demo.cli("send", "--yes", "--password-file", demo.password)
                self.assertEqual(sent.returncode, 0, sent.stderr)
                self.assertIn("TLS: TLSv1.3, ", sent.stderr)
                self.assertNotIn("WARNUNG", sent.stderr)
                test = demo.cli("test-mail", "--to", "probe@schule.example", "--password-file",
                                demo.password)
                self.assertEqual(test.returncode, 0, test.stderr)
                messages = demo.messages()
                self.assertGreater(len(messages), 1)
                for raw, envelope in messages:
                    self.assertTrue(envelope["tls"])
                    self.assertEqual(envelope["mechanism"], "LOGIN")
                    self.assertEqual(check_mime.check(raw)["defects"], [])

    def test_a_certificate_for_another_name_stops_before_the_password(self):
        demo = Demo(self, "anderer", "STARTTLS", "--require-starttls", "--auth-require-tls")
        unchanged = read(demo.ini)
        sent = demo.cli("send", "--yes", "--password-file", demo.password)
        self.assertNotEqual(sent.returncode, 0)
        self.assertIn("error: Fehler bei folgender SMTP-Server-Aktion: smtpEhlo (Begrüßung des "
                      "Servers)\nDas Zertifikat des Servers ist nicht für den Namen "
                      "\"localhost\" ausgestellt", sent.stderr)
        self.assertEqual(demo.messages(), [])
        self.assertEqual(read(demo.ini), unchanged)


if __name__ == "__main__":
    CLI = sys.argv.pop(1)
    with tempfile.TemporaryDirectory() as certificates:
        make_certificates(certificates)
        CERTS = certificates
        result = unittest.main(exit=False)
    sys.exit(0 if result.result.wasSuccessful() else 1)
