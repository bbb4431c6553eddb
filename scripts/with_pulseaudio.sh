#!/usr/bin/env bash
# with_pulseaudio.sh COMMAND [ARGS...]
# Runs COMMAND beside a PulseAudio server of its own, as on a user's desktop: a null sink that plays
# a 1 kHz tone, its monitor the default source. The server lives in a private folder (its own HOME
# and runtime folder) and ends with the command; PULSE_SERVER tells clients where it is. Without
# pulseaudio on the machine, COMMAND runs alone and says so.
set -u
if ! command -v pulseaudio >/dev/null || ! command -v pactl >/dev/null; then
    echo "with_pulseaudio: no pulseaudio here; running without a sound server" >&2
    exec "$@"
fi
base=$(mktemp -d)
export HOME=$base XDG_RUNTIME_DIR=$base PULSE_SERVER=unix:$base/pulse/native
pulseaudio --daemonize=no --exit-idle-time=-1 --disallow-exit -n --disable-shm=true \
    --load=module-native-protocol-unix --load="module-null-sink sink_name=nullsink" \
    --load=module-always-sink >"$base/pulseaudio.log" 2>&1 &
server=$!
tone=
cleanup() {
    [ -n "$tone" ] && kill "$tone" 2>/dev/null
    kill "$server" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$base"
}
trap cleanup EXIT
for _ in $(seq 50); do
    pactl info >/dev/null 2>&1 && break
    sleep 0.1
done
if ! pactl info >/dev/null 2>&1; then
    echo "with_pulseaudio: the server did not come up; running without it" >&2
    tail -n 5 "$base/pulseaudio.log" >&2
    unset PULSE_SERVER
    "$@"
    exit $?
fi
pactl set-default-source nullsink.monitor
gst-launch-1.0 -q audiotestsrc freq=1000 is-live=true ! pulsesink device=nullsink >/dev/null 2>&1 &
tone=$!
"$@"
