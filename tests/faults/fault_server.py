#!/usr/bin/python3
"""An SMTP server on 127.0.0.1 that fails on purpose, for the send-run fault tests (aiosmtpd).

Each connection draws, from a random generator seeded on the command line, either no fault or
one fault at one step of the session: a 4xx or 5xx reply, a dropped connection, or (at most
--stalls times in all) no reply at all. The steps: the greeting, EHLO/HELO, MAIL, RCPT, the DATA
command, the middle of the data (dropped after the 354), after the final "." (before the
reply), and QUIT (after a mail was accepted). It prints its port as its first line and ends when
its standard input closes.

MAILDIR/accepted.jsonl gets one line per mail answered 250 after its data: {"rcpt": [...]}.
MAILDIR/faults.jsonl gets one line per connection: {"step": ..., "kind": ...} or nulls.
"""

import argparse
import asyncio
import json
import os
import random
import sys

from aiosmtpd.smtp import SMTP

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


class Faults:
    def __init__(self, seed, rate, stalls, maildir):
        self.random = random.Random(seed)
        self.rate = rate
        self.stalls_left = stalls
        self.maildir = maildir

    def draw(self):
        if self.random.random() >= self.rate:
            fault = (None, None)
        else:
            step = self.random.choice(sorted(STEPS))
            kinds = [k for k in STEPS[step] if k != "stall" or self.stalls_left > 0]
            fault = (step, self.random.choice(kinds))
            if fault[1] == "stall":
                self.stalls_left -= 1
        self.log("faults.jsonl", {"step": fault[0], "kind": fault[1]})
        return fault

    def log(self, name, entry):
        with open(os.path.join(self.maildir, name), "a", encoding="utf-8") as out:
            out.write(json.dumps(entry) + "\n")


class Handler:
    def __init__(self, faults):
        self.faults = faults

    async def handle_DATA(self, server, session, envelope):
        outcome = await server.fault_at("after-dot")
        if outcome is not None:
            return outcome
        self.faults.log("accepted.jsonl", {"rcpt": envelope.rcpt_tos})
        return "250 2.0.0 Angenommen"


class FaultySMTP(SMTP):
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
        if status.startswith("220 ") and self.step == "greeting":
            outcome = await self.fault_at("greeting")
            if outcome:
                await super().push(outcome.replace("451", "421"))
                self.transport.close()
            return
        await super().push(status)

    async def smtp_EHLO(self, arg):
        await self.answered("hello", "EHLO", arg)

    async def smtp_HELO(self, arg):
        await self.answered("hello", "HELO", arg)

    async def smtp_MAIL(self, arg):
        await self.answered("mail", "MAIL", arg)

    async def smtp_RCPT(self, arg):
        await self.answered("rcpt", "RCPT", arg)

    async def smtp_QUIT(self, arg):
        await self.answered("quit", "QUIT", arg)

    async def smtp_DATA(self, arg):
        if self.step == "in-data" and self.envelope.rcpt_tos:
            await super().push("354 End data with <CR><LF>.<CR><LF>")
            await self.fault_at("in-data")
            return
        await self.answered("data", "DATA", arg)


async def serve(args):
    loop = asyncio.get_running_loop()
    faults = Faults(args.seed, args.rate, args.stalls, args.maildir)
    handler = Handler(faults)
    server = await loop.create_server(
        lambda: FaultySMTP(handler, faults.draw(), hostname="mail.test", loop=loop),
        host="127.0.0.1", port=0)
    print(server.sockets[0].getsockname()[1], flush=True)
    stop = loop.create_future()

    def stdin_readable():
        if not os.read(sys.stdin.fileno(), 4096):
            loop.remove_reader(sys.stdin.fileno())
            if not stop.done():
                stop.set_result(None)

    loop.add_reader(sys.stdin.fileno(), stdin_readable)
    await stop
    server.close()


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("maildir")
    parser.add_argument("--seed", type=int, required=True)
    parser.add_argument("--rate", type=float, default=0.3, help="share of faulty connections")
    parser.add_argument("--stalls", type=int, default=2, help="stalls in all, at most")
    asyncio.run(serve(parser.parse_args()))
    return 0


if __name__ == "__main__":
    sys.exit(main())
