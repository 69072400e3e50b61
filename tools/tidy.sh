#!/bin/bash
# clang-tidy with the checks of .clang-tidy on the core: src/base, link, document,
# measure, monitor, modules, calibration, report (not their forms), sim and cli. Any finding is an error. Uses the dev
# build's compilation database (configuring the dev build first when there is none) and
# prints the time it took.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build/dev}
TIDY=$(command -v clang-tidy-14 || command -v clang-tidy)
RUN=$(command -v run-clang-tidy-14 || command -v run-clang-tidy)
if [ ! -f "$BUILD/compile_commands.json" ]; then
    cmake --preset dev > /dev/null
fi
files=(src/base/*.cpp src/link/*.cpp src/document/*.cpp src/measure/*.cpp src/monitor/*.cpp
       src/modules/*.cpp src/calibration/*.cpp src/report/*.cpp src/sim/*.cpp src/sim/main/*.cpp src/cli/*.cpp)
start=$(date +%s)
log=$(mktemp)
trap 'rm -f "$log"' EXIT
status=0
# GCC-only warning switches of the database mean nothing to clang: not a finding.
"$RUN" -quiet -clang-tidy-binary "$TIDY" -p "$BUILD" -j "$(nproc)" \
    -extra-arg=-Wno-unknown-warning-option "${files[@]}" > "$log" 2>&1 || status=$?
# The findings only, without the counts of warnings suppressed in other headers.
grep -v -E '^[0-9]+ warnings? (and [0-9]+ errors? )?generated\.$|^Suppressed [0-9]+ warnings|^Use -header-filter|^\S*clang-tidy(-14)? |^Running clang-tidy' "$log" || true
echo "clang-tidy: ${#files[@]} files in $(( $(date +%s) - start )) s"
exit "$status"
