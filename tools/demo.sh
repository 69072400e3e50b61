#!/bin/bash
# The main job on a simulated unit: installs what is missing (asking sudo for that only),
# builds, and starts the desktop program with a simulated KVR 300 attached (configuration
# password: demo). Run it as your normal user. Without a display, the same road runs
# headless: kvr-sim on a pseudo-terminal, queried, uploaded and read with kvrctl, and a
# picture of the desktop program taken on a virtual screen; everything it writes goes to a
# private temporary folder.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh
cmake --preset dev > /dev/null
cmake --build --preset dev -- -j2
BIN=$PWD/build/dev

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    exec "$BIN/kvrview" --demo
fi

OUT=$(mktemp -d "${TMPDIR:-/tmp}/kvr-demo.XXXXXX")  # mode 0700: this user's alone
echo "No display: running the road with kvr-sim and kvrctl instead (files in $OUT)."
LINK=$OUT/kvr-tty
"$BIN/kvr-sim" --unit kvr300 --baud 9600 --link "$LINK" < /dev/null > /dev/null 2>&1 &
SIM=$!
trap 'kill $SIM 2>/dev/null || true; wait $SIM 2>/dev/null || true' EXIT
for _ in $(seq 1 50); do [ -e "$LINK" ] && break; sleep 0.1; done
PORT=(--device "$LINK" --baud 9600)

"$BIN/kvrctl" "${PORT[@]}" query
"$BIN/kvrctl" "${PORT[@]}" upload -o "$OUT/demo.kvr" > "$OUT/upload.txt"
echo "Uploaded every board and saved the setup file $OUT/demo.kvr"
echo "  (the decoded records: $OUT/upload.txt; all of it: $BIN/kvrctl show $OUT/demo.kvr)"
echo "Live values of the main board (secondary, primary):"
"$BIN/kvrctl" "${PORT[@]}" values --board 3 | grep -E '^  (Voltage|Current|Active Power|Frequency) '
if command -v xvfb-run > /dev/null; then
    xvfb-run -a -s "-screen 0 1280x800x24" "$BIN/kvrview" --demo --screenshot "$OUT/kvrview-demo.png"
    echo "A picture of the desktop program with the simulated unit: $OUT/kvrview-demo.png"
fi
echo "On a desktop, run: $BIN/kvrview --demo   (configuration password: demo)"
