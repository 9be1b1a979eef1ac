#!/usr/bin/env bash
# The release step: builds the Debian package, installs it on this machine with apt-get and
# checks that what a school office gets starts: the command line answers --help and --version,
# the desktop program opens its window (under Xvfb) and keeps its settings in the user's folder,
# the menu entry and the morning-run units are accepted by their validators.
# Needs root (apt-get install); leaves the package in build/package/.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$(pwd)

bash scripts/install-deps.sh
# A package left by an earlier version must not be the one that gets installed and checked.
rm -f "$top"/build/package/tafelbot_*.deb
cmake --workflow --preset package
deb=$(ls "$top"/build/package/tafelbot_*.deb)
echo "Package: $deb"
dpkg-deb --field "$deb" Package Version Depends Recommends

export DEBIAN_FRONTEND=noninteractive
# This very package, also over one an earlier check left installed with a higher number.
apt-get install -y -qq --allow-downgrades "$deb" > /dev/null

fail() { echo "package check failed: $*" >&2; exit 1; }

# A fresh user's home, so the check sees where a first start puts the settings file.
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share"

/usr/bin/tafelbot-cli --help > "$home/help.txt" || fail "tafelbot-cli --help"
grep -q "send" "$home/help.txt" || fail "the usage does not name the send command"
/usr/bin/tafelbot-cli --version || fail "tafelbot-cli --version"
man -l /usr/share/man/man1/tafelbot-cli.1* > /dev/null 2>&1 || fail "the manual page does not render"
desktop-file-validate /usr/share/applications/tafelbot.desktop || fail "desktop entry"
test -f /usr/share/icons/hicolor/scalable/apps/tafelbot.svg || fail "icon"

units=/usr/share/doc/tafelbot/examples/systemd
runtime=$(mktemp -d)
XDG_RUNTIME_DIR="$runtime" systemd-analyze --user verify \
    "$units/tafelbot-send.service" "$units/tafelbot-send.timer" || fail "systemd units"
rm -rf "$runtime"

# The desktop program from the menu entry's command, under a virtual display: it must start,
# show its window and write its first settings file into the user's folder, never beside
# /usr/bin.
rm -f /usr/bin/Tafelbot.ini
xvfb-run -a -s "-screen 0 1366x900x24" bash -c '
    tafelbot & pid=$!
    for _ in $(seq 1 50); do
        [ -f "$XDG_CONFIG_HOME/Tafelbot/Tafelbot.ini" ] && break
        sleep 0.2
    done
    sleep 1
    kill -0 "$pid" || exit 1
    kill "$pid"; wait "$pid" || true
' || fail "the desktop program did not start"
test -f "$XDG_CONFIG_HOME/Tafelbot/Tafelbot.ini" || fail "no settings file in the user's folder"
test ! -e /usr/bin/Tafelbot.ini || fail "a settings file beside the installed program"

echo "package check: $(basename "$deb") installs and starts"
