#!/usr/bin/env bash
# Builds the fuzz target over one incoming platform frame with clang (libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer) in its own build folder and runs it for a bounded time from a
# temporary application folder, seeded with tests/fuzz/corpus/.
# Usage: scripts/fuzz.sh [seconds]   (default 60)
set -euo pipefail

SECONDS_TO_RUN=${1:-60}
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD="$ROOT/build-fuzz"
ARTIFACTS="$BUILD/artifacts"

source "$ROOT/scripts/lib.sh"
install_deps clang libclang-rt-14-dev

CC=clang CXX=clang++ cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DLUMACAST_FUZZ=ON -DLUMACAST_BENCHMARKS=OFF >/dev/null
cmake --build "$BUILD" -j2 --target fuzz_platform_frame

APP_DIR=$(mktemp -d)
trap 'rm -rf "$APP_DIR"' EXIT
cp "$BUILD/tests/fuzz_platform_frame/fuzz_platform_frame.bin" "$APP_DIR/"
mkdir -p "$APP_DIR/LumacastFile/Resource/config" "$APP_DIR/corpus" "$ARTIFACTS"
cp "$ROOT"/tests/fuzz/corpus/* "$APP_DIR/corpus/"

cd "$APP_DIR"
LSAN_OPTIONS="suppressions=$ROOT/tests/fuzz/lsan.supp" QT_QPA_PLATFORM=offscreen ./fuzz_platform_frame.bin -max_total_time="$SECONDS_TO_RUN" -max_len=4096 \
    -timeout=10 -rss_limit_mb=2048 -artifact_prefix="$ARTIFACTS/" corpus

# A frame may change the settings file and add log lines; it may write nothing else.
STRAY=$(find . -type f ! -path './corpus/*' ! -path './Log/*' ! -name fuzz_platform_frame.bin \
    ! -path './LumacastFile/Resource/config/lumacast.json')
if [ -n "$STRAY" ]; then
    echo "fuzz: files written outside the settings file:" >&2
    echo "$STRAY" >&2
    exit 1
fi
echo "fuzz: no crash, hang or stray file in $SECONDS_TO_RUN s"
