#!/usr/bin/python3
"""Parses one mail as a mail program would and reports what it finds, as JSON on stdout.

Report: "defects" (every defect the parser notes in headers or parts, lines longer than RFC 5322
allows, and decoded texts or a subject that differ from the UTF-8 files or text expected),
"headers" (decoded), "structure" (content types, depth-first), "plain" and "html" (the decoded
text of the first text part of each kind), "attachments" (file name, content type, disposition,
content id, size, data as hex). Exit status 0 without defects, 1 with, 2 for an unreadable file.
"""

import argparse
import email
import email.policy
import json
import sys


def header_defects(part, path):
    found = []
    for name, value in part.items():
        for defect in getattr(value, "defects", []):
            found.append(f"{path} header {name}: {type(defect).__name__}: {defect}")
    return found


def walk(part, path, report):
    report["structure"].append(part.get_content_type())
    report["defects"] += [f"{path}: {type(d).__name__}: {d}" for d in part.defects]
    report["defects"] += header_defects(part, path)
    if part.is_multipart():
        for index, child in enumerate(part.iter_parts()):
            walk(child, f"{path}.{index + 1}", report)
        return
    content_type = part.get_content_type()
    disposition = part.get_content_disposition()
    if disposition is None and content_type in ("text/plain", "text/html"):
        key = "plain" if content_type == "text/plain" else "html"
        if report[key] is None:
            report[key] = part.get_content().replace("\r\n", "\n")
        return
    data = part.get_payload(decode=True) or b""
    report["attachments"].append({
        "filename": part.get_filename(),
        "content_type": content_type,
        "disposition": disposition,
        "content_id": part.get("Content-ID"),
        "size": len(data),
        "hex": data.hex(),
    })


def check(raw):
    report = {"defects": [], "headers": {}, "structure": [], "plain": None, "html": None,
              "attachments": []}
    for number, line in enumerate(raw.split(b"\r\n" if b"\r\n" in raw else b"\n"), 1):
        if len(line) > 998:
            report["defects"].append(f"line {number}: longer than 998 characters")
    message = email.message_from_bytes(raw, policy=email.policy.default)
    for name in ("From", "To", "Cc", "Subject", "Date", "Message-ID", "Mime-Version"):
        if message[name] is not None:
            report["headers"][name] = str(message[name])
    walk(message, "message", report)
    return report


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("file")
    parser.add_argument("--expect-plain")
    parser.add_argument("--expect-html")
    parser.add_argument("--expect-subject")
    args = parser.parse_args()
    try:
        with open(args.file, "rb") as source:
            raw = source.read()
        expected = {}
        for key, path in (("plain", args.expect_plain), ("html", args.expect_html)):
            if path is not None:
                with open(path, encoding="utf-8", newline="") as source:
                    expected[key] = source.read()
    except OSError as error:
        print(error, file=sys.stderr)
        return 2
    report = check(raw)
    for key, text in expected.items():
        if report[key] != text:
            report["defects"].append(f"{key} differs from the expected text")
    if args.expect_subject is not None and report["headers"].get("Subject") != args.expect_subject:
        report["defects"].append("subject differs from the expected text")
    json.dump(report, sys.stdout, ensure_ascii=False, indent=1)
    print()
    return 1 if report["defects"] else 0


if __name__ == "__main__":
    sys.exit(main())
