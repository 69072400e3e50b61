#!/bin/bash
# Runs one fuzz target for as long as asked: tools/fuzz.sh TARGET SECONDS
# (TARGET is e.g. setup_file or fuzz_setup_file; tools/fuzz.sh --list names them all).
# The seeds and the regression inputs of tests/fuzz/corpus/TARGET are run first; new
# inputs go to build/fuzz/corpus/TARGET. A crash leaves its input in build/fuzz/artifacts
# and fails the run: copy it into the seed corpus once it is fixed.
set -euo pipefail
cd "$(dirname "$0")/.."
if [[ "${1:-}" == "--list" ]]; then
    for f in tests/fuzz/fuzz_*.cpp; do basename "$f" .cpp | sed 's/^fuzz_//'; done
    exit 0
fi
target=${1:?usage: tools/fuzz.sh TARGET SECONDS | --list}
target=${target#fuzz_}
seconds=${2:-60}
cmake --preset fuzz > /dev/null
cmake --build build/fuzz --target "fuzz_$target" -- -j2 > /dev/null
work=build/fuzz/corpus/$target
seeds=tests/fuzz/corpus/$target
mkdir -p "$work" "$seeds" build/fuzz/artifacts
log=build/fuzz/$target.log
status=0
"build/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="build/fuzz/artifacts/$target-" \
    "$work" "$seeds" > "$log" 2>&1 || status=$?
if [[ $status -ne 0 ]]; then
    grep -v "^#[0-9]" "$log" | tail -60
    echo "fuzz $target: FAILED (log: $log)"
    exit "$status"
fi
echo "fuzz $target: $(grep -m1 '^stat::number_of_executed_units' "$log" | awk '{print $2}') runs in ${seconds} s, no crash"
