#!/usr/bin/env bash
# The main job on the bundled demo school: installs the build dependencies, builds Tafelbot
# (release), starts a local inbox (a real SMTP server on 127.0.0.1 that stores what it
# receives), shows the rows of the demo date and mails every marked teacher to that inbox.
# With a display the desktop program opens on the same data instead of the command-line send:
# press "eMail(s) senden" there.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$(pwd)

bash scripts/install-deps.sh
cmake --workflow --preset release

cli="$top/build/release/src/cli/tafelbot-cli"
gui="$top/build/release/src/app/tafelbot"
work="$top/build/demo"
rm -rf "$work"
mkdir -p "$work/inbox"
# The demo settings name the data file relative to the repository's top; keep a copy, since
# every send rewrites the settings file.
cp examples/demo.ini "$work/Tafelbot.ini"

# The inbox runs until its standard input closes, which happens when this script ends.
coproc INBOX { exec /usr/bin/python3 "$top/tests/integration/smtp_server.py" "$work/inbox"; }
read -r -t 30 port <&"${INBOX[0]}"
trap 'kill "$INBOX_PID" 2>/dev/null || true' EXIT

# Point the settings at the inbox's port (the line after the server's host in the server block).
/usr/bin/python3 - "$work/Tafelbot.ini" "$port" <<'PY'
import sys
path, port = sys.argv[1], sys.argv[2]
lines = open(path, "rb").read().split(b"\r\n")
start = next(i for i, l in enumerate(lines) if l.startswith(b"* Mailserver-Einstellungen"))
lines[start + 3] = port.encode()
open(path, "wb").write(b"\r\n".join(lines))
PY
echo "Local inbox: SMTP server on 127.0.0.1:$port, storing mails in $work/inbox"
echo

echo "=== Rows of the demo date (Monday 7 December 2026) ==="
"$cli" --ini "$work/Tafelbot.ini" rows
echo

if [ -n "${DISPLAY:-}" ] && [ -z "${CI:-}" ] && [ -x "$gui" ]; then
    echo "=== Desktop program: press \"eMail(s) senden\" to mail the marked teachers ==="
    "$gui" --ini "$work/Tafelbot.ini"
else
    echo "=== Sending the mails of the marked teachers (protocol: $work/send.log) ==="
    # The demo account needs no password, but none is stored, so the program would ask for one.
    printf 'demo\n' > "$work/password"
    status=0
    "$cli" --ini "$work/Tafelbot.ini" send --yes --timeout 60 --password-file "$work/password" \
        2> "$work/send.log" || status=$?
    grep -E '^(error|info|message): ' "$work/send.log" || true
    if [ "$status" -ne 0 ]; then
        echo "Sending failed (exit status $status); see $work/send.log"
        exit "$status"
    fi
    echo
    echo "=== The same date again: the teachers now show as sent ==="
    "$cli" --ini "$work/Tafelbot.ini" rows
fi

echo
count=$(find "$work/inbox" -name '*.eml' | wc -l)
echo "The inbox received $count mail(s): $work/inbox/*.eml (each with a .json of its envelope)."
echo "Settings file with the sent-mail records: $work/Tafelbot.ini"
