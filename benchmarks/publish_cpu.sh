#!/usr/bin/env bash
# CPU of publishing a 1920x1080, 30 fps desktop at 4 Mbit/s next to ffmpeg's x11grab with the same
# settings, on a moving and on a still screen of a virtual X server of their own; then the latency
# from a change drawn on the screen to the decoded frame at a local client.
# Usage: benchmarks/publish_cpu.sh [build folder, default build] [seconds per run, default 20]
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh
BUILD=${1:-build}
SPAN=${2:-20}
BENCH=$BUILD/benchmarks/bench_publish/bench_publish
TICKS=$(getconf CLK_TCK)
command -v ffmpeg >/dev/null || install_deps ffmpeg
command -v Xvfb >/dev/null || install_deps xvfb

cpu_ticks() {
    sed 's/^.*) //' "/proc/$1/stat" | awk '{ print $12 + $13 }'
}

# percent PID: share of one core that PID uses over SPAN seconds, after 3 s to settle.
percent() {
    sleep 3
    local start end
    start=$(cpu_ticks "$1")
    sleep "$SPAN"
    end=$(cpu_ticks "$1")
    awk -v d="$((end - start))" -v t="$TICKS" -v s="$SPAN" 'BEGIN { printf "%.1f", 100 * d / (t * s) }'
}

display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
mover=
cleanup() {
    [ -n "$mover" ] && kill "$mover" 2>/dev/null
    kill "$xvfb" 2>/dev/null
    true
}
trap cleanup EXIT
export DISPLAY=$display
sleep 1

measure() {
    local port client server ffmpeg_pid ours theirs
    CAMERA_BUSINESS_DEFAULT_PORT=0 "$BENCH" serve $((SPAN + 10)) >"$BUILD/bench_publish.out" 2>/dev/null &
    server=$!
    until port=$(awk '/^port/ { print $2 }' "$BUILD/bench_publish.out" 2>/dev/null) && [ -n "$port" ]; do
        sleep 0.2
    done
    gst-launch-1.0 -q rtspsrc protocols=tcp location="rtsp://127.0.0.1:$port/ch0" ! fakesink >/dev/null 2>&1 &
    client=$!
    ours=$(percent "$server")
    kill "$client" "$server" 2>/dev/null || true
    wait "$client" "$server" 2>/dev/null || true
    ffmpeg -loglevel quiet -f x11grab -framerate 30 -video_size 1920x1080 -i "$DISPLAY" -pix_fmt yuv420p \
        -c:v libx264 -preset veryfast -tune zerolatency -b:v 4M -f null - </dev/null &
    ffmpeg_pid=$!
    theirs=$(percent "$ffmpeg_pid")
    kill "$ffmpeg_pid" 2>/dev/null || true
    wait "$ffmpeg_pid" 2>/dev/null || true
    echo "$1: Lumacast publishing $ours % of one core, ffmpeg x11grab $theirs %"
}

gst-launch-1.0 -q videotestsrc pattern=ball is-live=true ! video/x-raw,width=1920,height=1080,framerate=30/1 \
    ! ximagesink >/dev/null 2>&1 &
mover=$!
measure "moving screen"
kill "$mover"
mover=
measure "still screen"
CAMERA_BUSINESS_DEFAULT_PORT=0 "$BENCH" latency 30 | grep latency
