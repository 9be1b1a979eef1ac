#!/usr/bin/env bash
# The pictures of the user guide (docs/Benutzerhandbuch.md), made from the demo school under a
# virtual X server: the main window and the server settings dialog (scripts/screenshot.sh), and
# the welcome box of a first start, taken from the screen as a user sees it.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/screenshot.sh

build="${TAFELBOT_BUILD_DIR:-build/release}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# A first start: a settings file that does not exist yet, a user's folder of its own.
env -u QT_QPA_PLATFORM HOME="$work" XDG_CONFIG_HOME="$work/config" \
    xvfb-run -a -s "-screen 0 1000x700x24" bash -c '
    mkdir -p "$2/config/Tafelbot"
    "$1" --ini "$2/config/Tafelbot/Tafelbot.ini" & pid=$!
    sleep 6
    import -window root -crop 802x576+99+61 "$3"
    kill "$pid" 2>/dev/null || true
' _ "$build/src/app/tafelbot" "$work" docs/willkommen.png
echo "docs/willkommen.png written"
