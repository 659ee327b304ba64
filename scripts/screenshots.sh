#!/bin/sh
# Renders the documentation's screenshots of the main window into docs/screenshots/, offscreen,
# with generated audio and the real encoder. Rerun it after changing the window.
#
#   scripts/screenshots.sh                 every scene
#   scripts/screenshots.sh failed-row      only the scenes named
#
# The scenes are listed in tools/screenshots/main.cpp (kScenes); add new ones there.
set -eu
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
OUT=${OUT:-docs/screenshots}

if [ ! -f "$BUILD_DIR/CMakeCache.txt" ]; then
    cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$BUILD_DIR" -j "$(nproc)" --target wavelark_screenshots
QT_QPA_PLATFORM=offscreen WAVELARK_NO_STORE_PROMPTS=1 \
    "$BUILD_DIR/bin/wavelark_screenshots" "$OUT" "$@"
