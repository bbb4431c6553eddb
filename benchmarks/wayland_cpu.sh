#!/usr/bin/env bash
# CPU of publishing a 1920x1080, 30 fps desktop of a Wayland session (ScreenCast portal, PipeWire)
# next to the same channel on X11, both showing the same moving picture; then the time from a start
# of the library to the first frame at a local client, the portal's handshake included.
# Usage (as root: the Wayland session runs as a user of its own):
#   benchmarks/wayland_cpu.sh [build folder, default build] [seconds per run, default 20]
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "${1:-}" != "--inside" ]; then
    BUILD=$(readlink -f "${1:-build}")
    export SPAN=${2:-20} BENCH=$BUILD/benchmarks/bench_publish/bench_publish
else
    # percent PID: share of one core that PID uses over SPAN seconds, after 3 s to settle.
    percent() {
        local ticks start end
        ticks=$(getconf CLK_TCK)
        sleep 3
        start=$(sed 's/^.*) //' "/proc/$1/stat" | awk '{ print $12 + $13 }')
        sleep "$SPAN"
        end=$(sed 's/^.*) //' "/proc/$1/stat" | awk '{ print $12 + $13 }')
        awk -v d="$((end - start))" -v t="$ticks" -v s="$SPAN" 'BEGIN { printf "%.1f", 100 * d / (t * s) }'
    }
    gst-launch-1.0 -q videotestsrc pattern=smpte horizontal-speed=8 is-live=true \
        ! video/x-raw,width=1920,height=1080,framerate=30/1 ! videoconvert ! "$2" >/dev/null 2>&1 &
    mover=$!
    sleep 2
    out=$(mktemp)
    CAMERA_BUSINESS_DEFAULT_PORT=0 "$BENCH" serve $((SPAN + 10)) >"$out" 2>/dev/null &
    server=$!
    until port=$(awk '/^port/ { print $2 }' "$out") && [ -n "$port" ]; do sleep 0.2; done
    sleep 1
    gst-launch-1.0 -q rtspsrc protocols=tcp location="rtsp://127.0.0.1:$port/ch0" ! fakesink >/dev/null 2>&1 &
    client=$!
    echo "$3: publishing $(percent "$server") % of one core"
    kill "$client" "$server" 2>/dev/null || true
    wait "$client" "$server" 2>/dev/null || true
    if [ "$2" = waylandsink ]; then
        CAMERA_BUSINESS_DEFAULT_PORT=0 "$BENCH" firstframe 9 2>/dev/null | grep 'first frame' | sed 's/^/Wayland: /'
    fi
    kill "$mover" 2>/dev/null || true
    rm -f "$out"
    exit 0
fi

scratch=$(mktemp -d /tmp/lumacast-bench.XXXXXX)
chmod 755 "$scratch"
trap 'rm -rf "$scratch"' EXIT
cp "$0" "$scratch/inside.sh"
xvfb-run -a -s "-screen 0 1920x1080x24" bash "$scratch/inside.sh" --inside ximagesink X11
scripts/wayland-session.sh run "$BUILD" "$scratch" bash "$scratch/inside.sh" --inside waylandsink Wayland
