#!/usr/bin/python3
"""Sending speed: tafelbot-cli send --yes against curl, one process and one session per mail,
both delivering the same composed mails to Postfix's smtp-sink on 127.0.0.1.

    send_bench.py TAFELBOT_CLI [N ...] [--repeat R]

For each N (default 33 and 200) a school of N teachers is generated (examples/generate_demo.py --school),
its mails are composed once with `tafelbot-cli mails --out`, then sent R times (default 3) by
each side; the median run counts. Prints wall time, mails per second and CPU time of both sides
and the ratio of their rates (above 1: the program is faster).
"""

import argparse
import email.parser
import email.utils
import os
import resource
import shutil
import socket
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
GENERATOR = os.path.join(os.path.dirname(HERE), "examples", "generate_demo.py")


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def start_sink(port):
    command = ["smtp-sink"]
    if os.geteuid() == 0:
        command += ["-u", "nobody"]  # smtp-sink refuses to keep root's privileges
    sink = subprocess.Popen(command + [f"127.0.0.1:{port}", "256"],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    deadline = time.monotonic() + 10
    while time.monotonic() < deadline:
        try:
            socket.create_connection(("127.0.0.1", port), timeout=1).close()
            return sink
        except OSError:
            time.sleep(0.05)
    sink.kill()
    sys.exit("smtp-sink did not start")


def timed(run):
    """Wall and CPU seconds (user + system of the child processes) of run()."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    run()
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    return wall, cpu


def envelope(path):
    with open(path, "rb") as f:
        headers = email.parser.BytesHeaderParser().parse(f)
    sender = email.utils.parseaddr(str(headers["From"]))[1]
    recipients = [a for _, a in email.utils.getaddresses(
        [str(headers[h]) for h in ("To", "Cc") if headers[h]])]
    return sender, recipients


def bench(cli, n, port, repeat, work):
    folder = os.path.join(work, str(n))
    os.mkdir(folder)
    subprocess.run([sys.executable, GENERATOR, "--school", str(n), folder, str(port)], check=True)
    ini = os.path.join(folder, "Tafelbot.ini")
    fresh = ini + ".fresh"
    shutil.copy(ini, fresh)
    mails = os.path.join(folder, "mails")
    composed = subprocess.run([cli, "--ini", ini, "mails", "--out", mails], capture_output=True)
    if composed.returncode != 0:
        sys.exit("tafelbot-cli mails failed:\n" + composed.stderr.decode(errors="replace"))
    files = sorted(os.path.join(mails, f) for f in os.listdir(mails))
    if len(files) != n:
        sys.exit(f"mails --out wrote {len(files)} mails, not {n}")
    curl_calls = []
    for path in files:
        sender, recipients = envelope(path)
        call = ["curl", "-sS", "--url", f"smtp://127.0.0.1:{port}", "--mail-from", sender,
                "--upload-file", path]
        for r in recipients:
            call += ["--mail-rcpt", r]
        curl_calls.append(call)

    def program():
        shutil.copy(fresh, ini)
        result = subprocess.run([cli, "--ini", ini, "send", "--yes"], capture_output=True)
        if result.returncode != 0:
            sys.exit(f"tafelbot-cli send failed ({result.returncode}):\n"
                     + result.stderr.decode(errors="replace"))

    def curl():
        for call in curl_calls:
            subprocess.run(call, check=True)

    runs = {"program": [], "curl": []}
    for _ in range(repeat):
        runs["program"].append(timed(program))
        runs["curl"].append(timed(curl))
    return {side: (statistics.median(w for w, _ in r), statistics.median(c for _, c in r))
            for side, r in runs.items()}


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("cli")
    parser.add_argument("n", nargs="*", type=int, default=[33, 200])
    parser.add_argument("--repeat", type=int, default=3)
    args = parser.parse_args()
    port = free_port()
    sink = start_sink(port)
    try:
        with tempfile.TemporaryDirectory() as work:
            print(f"{'mails':>5}  {'side':<8}{'wall s':>8}{'mails/s':>9}{'CPU s':>8}")
            for n in args.n:
                result = bench(os.path.abspath(args.cli), n, port, args.repeat, work)
                for side in ("program", "curl"):
                    wall, cpu = result[side]
                    print(f"{n:>5}  {side:<8}{wall:>8.3f}{n / wall:>9.1f}{cpu:>8.3f}")
                ratio = result["curl"][0] / result["program"][0]
                print(f"{n:>5}  program / curl rate: {ratio:.2f}x")
    finally:
        sink.terminate()
        sink.wait()
    return 0


if __name__ == "__main__":
    sys.exit(main())
