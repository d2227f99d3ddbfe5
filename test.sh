#!/usr/bin/env bash
# Installs what the build needs, builds with warnings as errors, runs every test.
set -euo pipefail
cd "$(dirname "$0")"
./tools/setup.sh
# The same folder and settings as run.sh and tools/screenshot.sh (CMakePresets.json).
cmake --preset dev >/dev/null
cmake --build build
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j2
# The optimised build warns where the dev build does not (inlining shows the
# compiler more): the programs of the release preset, warnings as errors.
cmake --preset release -D VESKARA_WERROR=ON >/dev/null
cmake --build build-release --target veskara veskara-cli
# The same tests under the sanitizers, and every fuzz target for a few seconds.
tools/hardening.sh
