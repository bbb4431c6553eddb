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
exec build/app/Lumacast "$@"
