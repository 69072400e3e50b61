#!/bin/bash
# Installs what is missing, checks the formatting and runs clang-tidy on the core, builds,
# and runs every test: the normal build, then the same
# suite built with AddressSanitizer and UndefinedBehaviorSanitizer, then with
# ThreadSanitizer (the monitor reading thread against the user-interface thread, debug
# checks of the device lock on), then each fuzz target for 20 seconds, then the
# benchmarks once each as a smoke run.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh
desktop-file-validate packaging/kvrview.desktop
# Every source file exactly as clang-format writes it.
find src tests bench \( -name '*.cpp' -o -name '*.h' \) -print0 | xargs -0 clang-format --dry-run --Werror
cmake --preset dev > /dev/null
# clang-tidy on the core, with the dev build's compilation database.
bash tools/tidy.sh
cmake --build --preset dev -- -j2
ctest --preset dev
cmake --preset asan > /dev/null
cmake --build --preset asan -- -j2
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --preset asan
cmake --preset tsan > /dev/null
cmake --build --preset tsan -- -j2
ctest --preset tsan
# Every fuzz target for a short fixed time on its seeds and regression inputs (clang).
cmake --preset fuzz > /dev/null
cmake --build --preset fuzz -- -j2
for target in $(tools/fuzz.sh --list); do
    tools/fuzz.sh "$target" 20
done
for bench in build/dev/bench_*; do
    "$bench" --smoke
done
