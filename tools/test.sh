#!/bin/bash
# Installs what is missing, builds, and runs every test: the normal build, then the same
# suite built with AddressSanitizer and UndefinedBehaviorSanitizer, then the benchmark
# benchmarks once each as a smoke run.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh
desktop-file-validate packaging/kvrview.desktop
cmake --preset dev > /dev/null
cmake --build --preset dev -- -j2
ctest --preset dev
cmake --preset asan > /dev/null
cmake --build --preset asan -- -j2
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --preset asan
for bench in build/dev/bench_*; do
    "$bench" --smoke
done
