#!/usr/bin/env bash
# GUI benchmark: `kvrview --demo` under a virtual display, monitoring for a fixed time at
# monitor read interval 0; then the same again with the trends view open on all 60
# monitors after a day of readings was fed through its model faster than real time (the
# run with --bench-trends). Prints each figure beside its target; never fails on a figure
# (benchmarks report, they do not assert). Exit status is non-zero only when the run
# itself could not be made or its output could not be read.
#
#   bench/bench-gui.sh [path/to/kvrview] [--seconds N]
#
# What kvrview must print on standard output with --bench-seconds N (one line each, any
# order, numbers in milliseconds with a '.' decimal point, other lines are ignored):
#   first window ms: <number>
#   timer lateness median ms: <number>
#   timer lateness p99 ms: <number>
# and with --bench-trends also
#   trends resident memory MB: <number>   (after the day of readings was fed)
# and then exit with status 0. The peak resident memory is read here from
# /proc/<pid>/status (VmHWM) while the program runs.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
kvrview=""
seconds=30
while (($#)); do
    case "$1" in
    --seconds) seconds="$2"; shift 2 ;;
    -h | --help) sed -n '2,22p' "$0"; exit 0 ;;
    *) kvrview="$1"; shift ;;
    esac
done
if [[ -z "$kvrview" ]]; then
    for candidate in "$here/build/dev/kvrview" "$here/build/release/kvrview" "$(command -v kvrview || true)"; do
        if [[ -n "$candidate" && -x "$candidate" ]]; then
            kvrview="$candidate"
            break
        fi
    done
fi
if [[ -z "$kvrview" || ! -x "$kvrview" ]]; then
    echo "bench-gui: kvrview not found; build it or give its path" >&2
    exit 2
fi

if ! command -v xvfb-run >/dev/null 2>&1; then
    echo "bench-gui: installing xvfb and xauth" >&2
    if [[ $(id -u) -eq 0 ]]; then
        apt-get install -y xvfb xauth >&2
    else
        sudo apt-get install -y xvfb xauth >&2
    fi
fi

work="$(mktemp -d "${TMPDIR:-/tmp}/kvr-bench-gui.XXXXXX")"
trap 'rm -rf "$work"' EXIT
# Read interval 0: the reading thread samples as fast as the line allows.
printf '[KVR View]\r\nMonitor Read Interval=0\r\n' >"$work/QRL.ini"
out="$work/out.txt"

# All descendants of a process, so the program is found below xvfb-run's shell.
descendants() {
    local p
    for p in $(ps -o pid= --ppid "$1" 2>/dev/null); do
        echo "$p"
        descendants "$p"
    done
}

# One run of the program (name, memory target, extra options); its figures in $out, its
# peak resident memory in hwm_kb.
run() {
    out="$work/out$1.txt"
    hwm_kb=0
    KVR_QRL_INI="$work/QRL.ini" xvfb-run -a -s "-screen 0 1280x1024x24" \
        "$kvrview" --demo --bench-seconds "$seconds" "${@:3}" >"$out" 2>"$work/err.txt" &
    runner=$!
    pid=""
    while kill -0 "$runner" 2>/dev/null; do
        if [[ -z "$pid" ]]; then
            for p in $(descendants "$runner"); do
                # The program is the descendant whose arguments carry --bench-seconds.
                if { tr '\0' ' ' <"/proc/$p/cmdline"; } 2>/dev/null | grep -q -- '--bench-seconds'; then
                    pid="$p"
                fi
            done
        fi
        if [[ -n "$pid" ]]; then
            # VmHWM is the peak so far; the last reading before the exit is the run's peak.
            kb=$(awk '/^VmHWM:/ {print $2}' "/proc/$pid/status" 2>/dev/null || true)
            if [[ -n "$kb" ]] && ((kb > hwm_kb)); then
                hwm_kb=$kb
            fi
        fi
        sleep 0.2
    done
    status=0
    wait "$runner" || status=$?
}

figure() { # the number after "<label>:" in the program's output
    awk -F': *' -v key="$1" '$1 == key {print $2; exit}' "$out"
}
verdict() { # value target: "met" or "MISSED"
    awk -v v="$1" -v t="$2" 'BEGIN { print (v + 0 < t + 0) ? "met" : "MISSED" }'
}
row() { printf '%-30s %10s   %s\n' "$1" "$2" "$3"; }

# Runs and checks one run, then prints its figures.
measure() { # name, then kvrview's extra options
    run "$@"
    first=$(figure "first window ms")
    median=$(figure "timer lateness median ms")
    p99=$(figure "timer lateness p99 ms")
    if ((status != 0)) || [[ -z "$first" || -z "$median" || -z "$p99" ]]; then
        echo "bench-gui: kvrview exited with status $status or printed no figures" >&2
        sed 's/^/  stdout: /' "$out" >&2
        sed 's/^/  stderr: /' "$work/err.txt" >&2
        exit 1
    fi
    mem_mb=$(awk -v k="$hwm_kb" 'BEGIN { printf "%.1f", k / 1024 }')
    row "first window (ms)" "$first" "target < 1000: $(verdict "$first" 1000)"
    row "timer lateness median (ms)" "$median" ""
    row "timer lateness p99 (ms)" "$p99" "target < 20: $(verdict "$p99" 20)"
    if ((hwm_kb == 0)); then
        row "peak resident memory (MB)" "?" "not measured (the kvrview process was not found)"
    else
        row "peak resident memory (MB)" "$mem_mb" "target < $2: $(verdict "$mem_mb" "$2")"
    fi
}

echo "kvrview --demo, ${seconds} s of monitoring at read interval 0 ($kvrview)"
measure plain 80
echo "the same with the trends view open on 60 monitors (1 min window) after a day of readings"
measure trends 150 --bench-trends
trends_mb=$(figure "trends resident memory MB")
if [[ -z "$trends_mb" ]]; then
    echo "bench-gui: kvrview printed no trends figures" >&2
    exit 1
fi
row "memory after a day fed (MB)" "$trends_mb" "target < 150: $(verdict "$trends_mb" 150)"
