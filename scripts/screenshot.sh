#!/usr/bin/env bash
# Writes docs/screenshot.png: the main window on the demo school, as it opens on a virtual X
# server (xvfb-run; Qt's offscreen platform where that is missing). Builds the program first
# when needed. TAFELBOT_BUILD_DIR chooses the build directory (default build/release).
set -euo pipefail
cd "$(dirname "$0")/.."

build="${TAFELBOT_BUILD_DIR:-build/release}"
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake --preset release
fi
cmake --build "$build" --target tafelbot -j2

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# The program writes its settings back on closing: it gets a copy. The copy names the data file
# relative to the top of the repository, where this runs.
cp examples/demo.ini "$work/Tafelbot.ini"
run=(timeout 120 "$build/src/app/tafelbot" --ini "$work/Tafelbot.ini" --screenshot "$work/screenshot.png")
if command -v xvfb-run >/dev/null; then
    env -u QT_QPA_PLATFORM xvfb-run -a -s "-screen 0 1024x768x24" "${run[@]}"
else
    QT_QPA_PLATFORM=offscreen "${run[@]}"
fi

mkdir -p docs
cp "$work/screenshot.png" docs/screenshot.png
echo "docs/screenshot.png written"
