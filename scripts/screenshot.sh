#!/usr/bin/env bash
# Writes the pictures in docs/: the main window on the demo school at 1366 x 900 and the server
# settings dialog, each at 100 % and at 200 % scaling (QT_SCALE_FACTOR=2 on a screen twice the
# size), as they open on a virtual X server (xvfb-run; Qt's offscreen platform where that is
# missing). docs/screenshot.png, the README's picture, is the main window at 100 %. Builds the
# program first when needed. TAFELBOT_BUILD_DIR chooses the build directory (default
# build/release).
set -euo pipefail
cd "$(dirname "$0")/.."

build="${TAFELBOT_BUILD_DIR:-build/release}"
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake --preset release
fi
cmake --build "$build" --target tafelbot -j2

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p docs

# One run per scale: the program fills the screen, saves both pictures and ends.
bilder() {
    local faktor="$1" breite="$2" hoehe="$3"
    # The program writes its settings back on closing: it gets a copy. The copy names the data
    # file relative to the top of the repository, where this runs.
    cp examples/demo.ini "$work/Tafelbot.ini"
    local run=(env QT_SCALE_FACTOR="$faktor" timeout 120 "$build/src/app/tafelbot"
        --ini "$work/Tafelbot.ini"
        --screenshot "docs/hauptfenster-${faktor}00.png"
        --screenshot-einstellungen "docs/einstellungen-${faktor}00.png")
    if command -v xvfb-run >/dev/null; then
        env -u QT_QPA_PLATFORM xvfb-run -a -s "-screen 0 ${breite}x${hoehe}x24" "${run[@]}"
    else
        QT_QPA_PLATFORM=offscreen "${run[@]}"
    fi
}

bilder 1 1366 900
bilder 2 2732 1800
cp docs/hauptfenster-100.png docs/screenshot.png
echo "docs/hauptfenster-100.png, -200.png, einstellungen-100.png, -200.png and screenshot.png written"
