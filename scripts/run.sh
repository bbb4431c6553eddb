#!/usr/bin/env bash
# Installs what is missing, builds, and starts Lumacast from its application folder build/app.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

install_deps
build build -DCMAKE_BUILD_TYPE=RelWithDebInfo

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    export QT_QPA_PLATFORM=offscreen
    echo "No display found: Lumacast runs with the offscreen platform (its windows are not visible)."
fi
echo "Starting build/app/Lumacast; settings: build/app/LumacastFile/Resource/config/lumacast.json," \
     "log: build/app/Log/Lumacast/. Stop it with Ctrl+C or 'pkill -x Lumacast'."
log=build/app/Log/Lumacast/Lumacast.log
mkdir -p "$(dirname "$log")"
touch "$log"
# The streaming library logs each channel it serves; show those addresses while the program starts.
timeout 30 tail -n0 -F "$log" 2>/dev/null | grep --line-buffered -o 'channel [0-9]* served at rtsp://.*' |
    sed -u 's/^/Lumacast: /' &
build/app/Lumacast "$@" &
program=$!
trap 'kill -TERM "$program" 2>/dev/null' INT TERM
wait "$program" || wait "$program"
