#!/usr/bin/python3
"""Parses one mail as a mail program would and reports what it finds, as JSON on stdout.

Usage: check_mime.py MAIL. Report: "defects" (every defect the parser notes in headers or parts,
lines longer than RFC 5322 allows), "headers" (decoded), "plain" and "html" (the decoded text of
the first text part of each kind), "attachments" (file name, content id, data as hex).
"""

import email
import email.policy
import json
import sys


def check(raw):
    report = {"defects": [], "headers": {}, "plain": None, "html": None, "attachments": []}
    for number, line in enumerate(raw.split(b"\r\n" if b"\r\n" in raw else b"\n"), 1):
        if len(line) > 998:
            report["defects"].append(f"line {number}: longer than 998 characters")
    message = email.message_from_bytes(raw, policy=email.policy.default)
    for name in ("From", "To", "Cc", "Subject", "Date", "Message-ID", "Mime-Version"):
        if message[name] is not None:
            report["headers"][name] = str(message[name])
    for part in message.walk():
        kind = part.get_content_type()
        report["defects"] += [f"{kind}: {type(d).__name__}: {d}" for d in part.defects]
        report["defects"] += [f"{kind} header {name}: {type(d).__name__}: {d}"
                              for name, value in part.items()
                              for d in getattr(value, "defects", [])]
        if part.is_multipart():
            continue
        if part.get_content_disposition() is None and kind in ("text/plain", "text/html"):
            if report[kind[5:]] is None:  # "plain" or "html"
                report[kind[5:]] = part.get_content().replace("\r\n", "\n")
        else:
            report["attachments"].append({"filename": part.get_filename(),
                                          "content_id": part.get("Content-ID"),
                                          "hex": (part.get_payload(decode=True) or b"").hex()})
    return report


if __name__ == "__main__":
    with open(sys.argv[1], "rb") as mail:
        json.dump(check(mail.read()), sys.stdout, ensure_ascii=False, indent=1)
