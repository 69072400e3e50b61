#!/bin/bash
# The main job on a simulated unit: installs what is missing, builds, and starts the
# desktop program with a simulated KVR 300 attached (configuration password: demo).
# Without a display, the same road runs headless: kvr-sim on a pseudo-terminal, uploaded
# and read with kvrctl, and a picture of the desktop program taken on a virtual screen.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh
cmake --preset dev > /dev/null
cmake --build --preset dev -- -j2
BIN=build/dev

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    exec "$BIN/kvrview" --demo
fi

echo "No display: running the road with kvr-sim and kvrctl instead."
LINK=$(mktemp -u /tmp/kvr-demo-tty.XXXXXX)
"$BIN/kvr-sim" --unit kvr300 --baud 9600 --link "$LINK" < /dev/null > /dev/null &
SIM=$!
trap 'kill $SIM 2>/dev/null || true; wait $SIM 2>/dev/null || true' EXIT
for _ in $(seq 1 50); do [ -e "$LINK" ] && break; sleep 0.1; done
"$BIN/kvrctl" --device "$LINK" --baud 9600 upload -o /tmp/kvr-demo.kvr
"$BIN/kvrctl" --device "$LINK" --baud 9600 values
if command -v xvfb-run > /dev/null; then
    xvfb-run -a -s "-screen 0 1280x800x24" "$BIN/kvrview" --demo --screenshot /tmp/kvrview-demo.png
    echo "A picture of the desktop program with the simulated unit: /tmp/kvrview-demo.png"
fi
echo "On a desktop, run: $BIN/kvrview --demo   (configuration password: demo)"
