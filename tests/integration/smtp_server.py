#!/usr/bin/python3
"""An SMTP server on 127.0.0.1 for the integration tests, built on aiosmtpd.

It prints the port the system chose as its first line and ends when its standard input closes.
Every message is stored as MAILDIR/NNNN.eml (dot-stuffing undone) with MAILDIR/NNNN.json beside
it: recipients, AUTH mechanism and login, whether it was encrypted.
CRAM-MD5 and CRAM-SHA1, which check the HMAC of their challenge, join aiosmtpd's PLAIN and LOGIN;
with --bearer-token so do XOAUTH2 and OAUTHBEARER (RFC 7628), which accept the account with that
access token and answer any other with a 334 carrying a JSON error, then 535 (--auth-exclude MECH
leaves a mechanism unannounced).
With a certificate it offers STARTTLS, or TLS from the first byte with --implicit-tls (then
without --auth-require-tls: aiosmtpd counts only STARTTLS as encryption for AUTH).
Faults: --refuse-recipient answers 550 to that address; --drop-in-data closes the connection
once a message's data has arrived, --stall-in-data never answers it; neither stores the message.
With --fault-seed each connection draws from a generator seeded so either no fault or one fault
at one of STEPS: a 4xx or 5xx reply, a dropped connection, or (at most --stalls times in all) no
reply at all; MAILDIR/faults.jsonl gets one line per connection: {"step": ..., "kind": ...}.
"""

import argparse
import asyncio
import base64
import binascii
import hashlib
import hmac
import json
import os
import random
import ssl
import sys
import time

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword, auth_mechanism

OAUTH_ERROR = b'{"status":"401","schemes":"bearer","scope":"https://mail.test/"}'
PASSWORD = b"geheim"
# The steps of a session where a fault may strike, and the kinds of fault each allows: the
# greeting, EHLO/HELO, MAIL, RCPT, the DATA command, the middle of the data (dropped after the
# 354), after the final "." (before the reply), and QUIT (after a mail was accepted).
STEPS = {
    "greeting": ("4xx", "5xx", "drop", "stall"),
    "hello": ("4xx", "5xx", "drop"),
    "mail": ("4xx", "5xx", "drop", "stall"),
    "rcpt": ("4xx", "5xx", "drop"),
    "data": ("4xx", "5xx", "drop"),
    "in-data": ("drop",),
    "after-dot": ("4xx", "5xx", "drop", "stall"),
    "quit": ("4xx", "drop", "stall"),
}
REPLY = {"4xx": "451 4.3.0 Voruebergehender Fehler, bitte spaeter erneut versuchen",
         "5xx": "554 5.3.0 Abgelehnt"}


def bearer_login(mechanism, message):
    """(login, token) of an XOAUTH2 message, "user=LOGIN^Aauth=Bearer TOKEN^A^A", or of an
    OAUTHBEARER one, "n,a=LOGIN,^Ahost=H^Aport=P^Aauth=Bearer TOKEN^A^A"; Nones if malformed."""
    if not message.endswith(b"\x01\x01"):
        return None, None
    pairs = message[:-2].split(b"\x01")
    login = None
    if mechanism == "OAUTHBEARER":
        header = pairs.pop(0).split(b",")
        if len(header) != 3 or header[0] != b"n" or not header[1].startswith(b"a="):
            return None, None
        login = header[1][2:].replace(b"=2C", b",").replace(b"=3D", b"=")
    fields = dict(pair.partition(b"=")[::2] for pair in pairs)
    bearer = fields.get(b"auth", b"")
    return login or fields.get(b"user"), bearer[7:] if bearer.startswith(b"Bearer ") else None


class Handler:
    def __init__(self, args):
        self.maildir = args.maildir
        self.bearer_token = args.bearer_token.encode() if args.bearer_token else None
        self.user = args.user.encode()
        self.refuse_password = args.refuse_password
        self.count = 0
        self.refused_recipients = set(args.refuse_recipient)

    def result(self, mechanism, login, secret, expected):
        """Success for the account with the expected secret, unless passwords are refused."""
        if (self.refuse_password or not hmac.compare_digest(login, self.user)
                or not hmac.compare_digest(secret, expected)):
            return AuthResult(success=False, handled=False)
        return AuthResult(success=True, auth_data={"mechanism": mechanism, "login": login.decode()})

    def authenticator(self, server, session, envelope, mechanism, auth_data):
        if not isinstance(auth_data, LoginPassword):
            return AuthResult(success=False, handled=False)
        return self.result(mechanism, auth_data.login, auth_data.password, PASSWORD)

    async def cram(self, server, args, mechanism, digest):
        challenge = f"<{os.getpid()}.{time.monotonic_ns()}@mail.test>".encode()
        answer = await server.challenge_auth(challenge)
        if not isinstance(answer, bytes):
            return AuthResult(success=False)
        login, _, response = answer.rpartition(b" ")
        expected = hmac.new(PASSWORD, challenge, digest).hexdigest().encode()
        return self.result(mechanism, login, response, expected)

    async def oauth(self, server, args, mechanism):
        if len(args) > 1:
            try:
                message = base64.b64decode(args[1], validate=True)
            except binascii.Error:
                return AuthResult(success=False)
        else:
            message = await server.challenge_auth("")
            if not isinstance(message, bytes):
                return AuthResult(success=False)
        login, token = bearer_login(mechanism, message)
        outcome = self.result(mechanism, login or b"", token or b"", self.bearer_token)
        if not outcome.success:
            # The client answers the error with one line of its own; then 535.
            await server.challenge_auth(OAUTH_ERROR)
        return outcome

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address in self.refused_recipients:
            return "550 5.1.1 Mailbox unavailable"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        outcome = await server.fault_at("after-dot")
        if outcome is not None:
            return outcome
        self.count += 1
        base = os.path.join(self.maildir, f"{self.count:04d}")
        with open(base + ".eml", "wb") as out:
            out.write(envelope.original_content or envelope.content)
        auth = session.auth_data if isinstance(session.auth_data, dict) else {}
        # Set by STARTTLS and by TLS from the first byte alike.
        tls = server.transport.get_extra_info("ssl_object")
        with open(base + ".json", "w", encoding="utf-8") as out:
            json.dump({"rcpt_tos": envelope.rcpt_tos, "mechanism": auth.get("mechanism"),
                       "login": auth.get("login"), "tls": tls is not None}, out)
        return "250 Message accepted for delivery"


# `method` of the handler as aiosmtpd's AUTH mechanism `name`.
def offered(name, method, *details):
    @auth_mechanism(name)
    async def auth(self, server, args):
        return await method(self, server, args, name, *details)
    return auth


for _name, _method, *_details in (("CRAM-MD5", Handler.cram, hashlib.md5),
                                  ("CRAM-SHA1", Handler.cram, hashlib.sha1),
                                  ("XOAUTH2", Handler.oauth), ("OAUTHBEARER", Handler.oauth)):
    setattr(Handler, "auth_" + _name.replace("-", "_"), offered(_name, _method, *_details))


class Faults:
    """The fault of each connection: the fixed one of --drop-in-data or --stall-in-data, or one
    drawn by the seeded generator."""

    def __init__(self, args):
        fixed = "drop" if args.drop_in_data else "stall" if args.stall_in_data else None
        self.fixed = ("after-dot" if fixed else None, fixed)
        self.random = None if args.fault_seed is None else random.Random(args.fault_seed)
        self.rate = args.fault_rate
        self.stalls_left = args.stalls
        self.log = os.path.join(args.maildir, "faults.jsonl")

    def draw(self):
        if self.random is None:
            return self.fixed
        fault = (None, None)
        if self.random.random() < self.rate:
            step = self.random.choice(sorted(STEPS))
            kinds = [k for k in STEPS[step] if k != "stall" or self.stalls_left > 0]
            fault = (step, self.random.choice(kinds))
            if fault[1] == "stall":
                self.stalls_left -= 1
        with open(self.log, "a", encoding="utf-8") as out:
            out.write(json.dumps({"step": fault[0], "kind": fault[1]}) + "\n")
        return fault


class FaultySMTP(SMTP):
    """aiosmtpd's session with at most one fault, (step, kind), on its connection."""

    def __init__(self, handler, fault, **options):
        super().__init__(handler, **options)
        self.step, self.kind = fault

    async def fault_at(self, step):
        """None to go on; otherwise the reply to give ("" when the connection is gone)."""
        if step != self.step:
            return None
        self.step = None  # once per connection
        if self.kind == "drop":
            self.transport.abort()
            return ""
        if self.kind == "stall":
            await asyncio.sleep(3600)
        return REPLY[self.kind]

    async def answered(self, step, command, arg):
        outcome = await self.fault_at(step)
        if outcome is None:
            await getattr(super(), "smtp_" + command)(arg)
        elif outcome:
            await self.push(outcome)

    async def push(self, status):
        if self.step == "greeting" and status.startswith("220 "):
            outcome = await self.fault_at("greeting")
            if outcome:
                await super().push(outcome.replace("451", "421"))
                self.transport.close()
            return
        await super().push(status)

    async def smtp_DATA(self, arg):
        if self.step == "in-data" and self.envelope.rcpt_tos:
            await super().push("354 End data with <CR><LF>.<CR><LF>")
            await self.fault_at("in-data")
            return
        await self.answered("data", "DATA", arg)


def answering(step, command):
    """aiosmtpd's handler of a command, with the fault of `step` in its place."""
    async def smtp_command(self, arg):
        await self.answered(step, command, arg)
    return smtp_command


for _command, _step in (("EHLO", "hello"), ("HELO", "hello"), ("MAIL", "mail"), ("RCPT", "rcpt"),
                        ("QUIT", "quit")):
    setattr(FaultySMTP, "smtp_" + _command, answering(_step, _command))


async def serve(args):
    loop = asyncio.get_running_loop()
    handler = Handler(args)
    faults = Faults(args)
    excluded = args.auth_exclude + ([] if args.bearer_token else ["XOAUTH2", "OAUTHBEARER"])
    context = None
    if args.tls_cert:
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(args.tls_cert, args.tls_key)

    def factory():
        return FaultySMTP(handler, faults.draw(), hostname="mail.test", loop=loop,
                          authenticator=handler.authenticator,
                          auth_required=args.require_auth,
                          auth_require_tls=args.auth_require_tls,
                          auth_exclude_mechanism=excluded,
                          tls_context=None if args.implicit_tls else context,
                          require_starttls=args.require_starttls)

    server = await loop.create_server(factory, host="127.0.0.1", port=0,
                                      ssl=context if args.implicit_tls else None)
    print(server.sockets[0].getsockname()[1], flush=True)
    await loop.run_in_executor(None, sys.stdin.buffer.read)
    server.close()


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("maildir")
    parser.add_argument("--user", default="konto")
    for switch in ("--require-auth", "--refuse-password", "--implicit-tls", "--require-starttls",
                   "--auth-require-tls"):
        parser.add_argument(switch, action="store_true")
    for value in ("--tls-cert", "--tls-key", "--bearer-token"):
        parser.add_argument(value)
    for repeated in ("--refuse-recipient", "--auth-exclude"):
        parser.add_argument(repeated, action="append", default=[])
    faults = parser.add_mutually_exclusive_group()
    faults.add_argument("--drop-in-data", action="store_true")
    faults.add_argument("--stall-in-data", action="store_true")
    faults.add_argument("--fault-seed", type=int)
    parser.add_argument("--fault-rate", type=float, default=0.3, help="share of faulty connections")
    parser.add_argument("--stalls", type=int, default=2, help="stalls in all, at most")
    args = parser.parse_args()
    if args.implicit_tls and not args.tls_cert:
        parser.error("--implicit-tls needs --tls-cert and --tls-key")
    if args.implicit_tls and args.auth_require_tls:
        parser.error("--auth-require-tls would refuse AUTH under --implicit-tls")
    asyncio.run(serve(args))
    return 0


if __name__ == "__main__":
    sys.exit(main())
