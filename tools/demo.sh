#!/bin/bash
# The main job on a simulated unit: installs what is missing, builds, starts a simulated
# KVR 300 on a pseudo-terminal and uploads its four boards with kvrctl.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh
cmake --preset dev > /dev/null
cmake --build --preset dev -- -j2
BIN=build/dev
LINK=$(mktemp -u /tmp/kvr-demo-tty.XXXXXX)
"$BIN/kvr-sim" --unit kvr300 --baud 9600 --link "$LINK" < /dev/null > /dev/null &
SIM=$!
trap 'kill $SIM 2>/dev/null || true; wait $SIM 2>/dev/null || true' EXIT
for _ in $(seq 1 50); do [ -e "$LINK" ] && break; sleep 0.1; done
"$BIN/kvrctl" --device "$LINK" --baud 9600 upload
"$BIN/kvrctl" --device "$LINK" --baud 9600 values
