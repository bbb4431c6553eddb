#!/bin/sh
# CPU use of the running program while idle: starts it on the offscreen platform, lets it
# settle, and reads its user + system time from /proc over the measured span.
# Usage: idle_cpu.sh <path to Lumacast> [seconds, default 60] [runs, default 3]
set -eu
PROGRAM=${1:?path to the Lumacast executable}
SPAN=${2:-60}
RUNS=${3:-3}
SETTLE=5
TICKS=$(getconf CLK_TCK)

cpu_ticks() {
    # Fields 14 and 15 of /proc/<pid>/stat, counted after the command name's closing parenthesis.
    sed 's/^.*) //' "/proc/$1/stat" | awk '{ print $12 + $13 }'
}

run=1
while [ "$run" -le "$RUNS" ]; do
    QT_QPA_PLATFORM=offscreen "$PROGRAM" >/dev/null 2>&1 &
    PID=$!
    sleep "$SETTLE"
    START=$(cpu_ticks "$PID")
    sleep "$SPAN"
    END=$(cpu_ticks "$PID")
    kill "$PID"
    wait "$PID" 2>/dev/null || true
    awk -v d="$((END - START))" -v t="$TICKS" -v s="$SPAN" -v r="$run" \
        'BEGIN { printf "run %d: %d ticks in %d s = %.3f %% of one core\n", r, d, s, 100 * d / (t * s) }'
    run=$((run + 1))
done
