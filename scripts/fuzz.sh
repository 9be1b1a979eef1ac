#!/usr/bin/env bash
# Builds the libFuzzer targets (preset "fuzz": clang, AddressSanitizer, UndefinedBehaviorSanitizer)
# and runs each for SECONDS (default 60), one after the other, starting from the committed seeds
# in fuzz/corpus/NAME and from what earlier runs found (build/fuzz/corpus/NAME). A crash, a
# sanitizer report, a broken property or an input that takes longer than 10 s is kept in
# build/fuzz/findings/ and makes the script exit 1.
#
#   bash scripts/fuzz.sh [SECONDS] [NAME...]     NAME: gpn settings felder kennwort mime smtp
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
shift || true
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz >/dev/null

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for source in fuzz/*_fuzz.cpp; do
        name=$(basename "$source" _fuzz.cpp)
        [ -x "build/fuzz/fuzz/${name}_fuzz" ] && targets+=("$name")
    done
fi

findings=build/fuzz/findings
mkdir -p "$findings"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
failed=()
for name in "${targets[@]}"; do
    corpus=build/fuzz/corpus/$name
    log=build/fuzz/$name.log
    mkdir -p "$corpus"
    status=0
    "build/fuzz/fuzz/${name}_fuzz" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$findings/$name-" \
        "$corpus" "fuzz/corpus/$name" >"$log" 2>&1 || status=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    coverage=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
    if [ "$status" -eq 0 ]; then
        echo "$name: ${runs:-?} runs in ${seconds} s, ${coverage:-?} edges covered, nothing found"
    else
        echo "$name: FOUND something (exit $status), see $log and $findings/"
        grep -E 'property broken|ERROR: (Address|Undefined|libFuzzer)|runtime error' "$log" | head -3
        failed+=("$name")
    fi
done
[ ${#failed[@]} -eq 0 ] || { echo "fuzzing found faults in: ${failed[*]}"; exit 1; }
