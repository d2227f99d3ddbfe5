#!/usr/bin/env bash
# Installs what the build needs, builds with warnings as errors, runs every test.
set -euo pipefail
cd "$(dirname "$0")"
./tools/setup.sh
BUILD=${BUILD_DIR:-build}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVESKARA_WERROR=ON >/dev/null
cmake --build "$BUILD"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$BUILD" --output-on-failure -j2
# The same tests under the sanitizers, and every fuzz target for a few seconds.
tools/hardening.sh
