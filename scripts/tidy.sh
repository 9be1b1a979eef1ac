#!/usr/bin/env bash
# clang-tidy with the committed .clang-tidy over every source file of src/ (or the files
# named), on the compile commands of the debug build. Exit status 1 when it warns.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ ! -f build/debug/compile_commands.json ]; then
    cmake --preset debug > /dev/null
fi
# Qt's generated files must exist for the desktop program's sources to parse.
cmake --build build/debug --target tafelbot_app_autogen tafelbot_autogen > /dev/null 2>&1 || true
if [ $# -gt 0 ]; then
    files=("$@")
else
    mapfile -t files < <(git ls-files 'src/*.cpp')
fi
log=$(mktemp)
trap 'rm -f "$log"' EXIT
printf '%s\n' "${files[@]}" |
    xargs -P "$(nproc)" -n 4 clang-tidy -p build/debug --quiet 2>/dev/null > "$log" || true
if grep -q "warning:" "$log"; then
    grep -A3 "warning:" "$log"
    echo "clang-tidy: $(grep -c 'warning:' "$log") warnings" >&2
    exit 1
fi
echo "clang-tidy: no warnings in ${#files[@]} files"
