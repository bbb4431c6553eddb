#!/bin/sh
# CPU use of the running program while idle: starts a copy of it in a folder of its own on the
# offscreen platform, with an ALSA configuration that lists several audio inputs (null devices,
# as a machine with several sound cards and plugins has), lets it settle, and reads the user +
# system time of the whole process (every thread) from /proc over the measured span.
# Usage: idle_cpu.sh <application folder, e.g. build/app> [seconds, default 60] [runs, default 3]
#        [audio inputs, default 10]
set -eu
APP_DIR=${1:?application folder holding Lumacast}
SPAN=${2:-60}
RUNS=${3:-3}
INPUTS=${4:-10}
SETTLE=5
TICKS=$(getconf CLK_TCK)

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
mkdir -p "$WORK/app/LumacastFile/Resource/config" "$WORK/home"
# A name of its own: copies of the program end older copies by name on a restart.
cp "$APP_DIR/Lumacast" "$WORK/app/LumacastBench"
cp "$APP_DIR"/*.so "$WORK/app/"
i=0
while [ "$i" -lt "$INPUTS" ]; do
    echo "pcm.bench$i { type null hint { show on description \"Bench $i\" } }" >>"$WORK/home/.asoundrc"
    i=$((i + 1))
done

cpu_ticks() {
    # Fields 14 and 15 of /proc/<pid>/stat (all threads, ended ones too), after the command name.
    sed 's/^.*) //' "/proc/$1/stat" | awk '{ print $12 + $13 }'
}

cpu_ns() {
    # Nanoseconds on a CPU, summed over the threads alive now: finer than the ticks above.
    cat /proc/"$1"/task/*/schedstat | awk '{ s += $1 } END { printf "%.0f", s }'
}

run=1
while [ "$run" -le "$RUNS" ]; do
    HOME="$WORK/home" TMPDIR="$WORK/home" QT_QPA_PLATFORM=offscreen "$WORK/app/LumacastBench" >/dev/null 2>&1 &
    PID=$!
    sleep "$SETTLE"
    START=$(cpu_ticks "$PID")
    START_NS=$(cpu_ns "$PID")
    sleep "$SPAN"
    END=$(cpu_ticks "$PID")
    END_NS=$(cpu_ns "$PID")
    kill "$PID"
    wait "$PID" 2>/dev/null || true
    awk -v d="$((END - START))" -v n="$((END_NS - START_NS))" -v t="$TICKS" -v s="$SPAN" -v r="$run" \
        'BEGIN { printf "run %d: %d ticks in %d s = %.3f %% of one core (threads alive: %.4f %%)\n",
                 r, d, s, 100 * d / (t * s), 100 * n / (s * 1e9) }'
    run=$((run + 1))
done
