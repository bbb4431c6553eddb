#!/usr/bin/env bash
# Installs what is missing, builds and runs every test.
#   scripts/test.sh              the normal build, in build/
#   scripts/test.sh --sanitize   AddressSanitizer + UndefinedBehaviorSanitizer build, in build-asan/
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

folder=build
options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMACAST_WERROR=ON)
if [ "${1:-}" = "--sanitize" ]; then
    folder=build-asan
    options=(-DCMAKE_BUILD_TYPE=Debug -DLUMACAST_WERROR=ON -DLUMACAST_SANITIZE=ON -DLUMACAST_BENCHMARKS=OFF)
    export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:strict_string_checks=1}
    export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
fi

install_deps
build "$folder" "${options[@]}"
# The Wayland session's screen-cast back end, built once and kept in build/.
if [ "$(id -u)" -eq 0 ]; then
    scripts/wayland-session.sh prepare build
fi

# Tests that need a real X server (display size) find one here; widget tests use offscreen.
export LUMACAST_XVFB_SIZE=2560x1440
xvfb-run -a -s "-screen 0 ${LUMACAST_XVFB_SIZE}x24" \
    ctest --test-dir "$folder" --output-on-failure -j "$(nproc)"
