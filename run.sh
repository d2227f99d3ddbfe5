#!/usr/bin/env bash
# Installs what building needs, builds the two programs, and starts Veskara.
set -euo pipefail
cd "$(dirname "$0")"
./tools/setup.sh run
# The same folder and settings as test.sh (CMakePresets.json), so either
# script reuses what the other built. Only the programs and what they link
# are built here: the tests and benchmarks are test.sh's.
cmake --preset dev >/dev/null
[ -x build/src/cli/veskara-cli ] || echo "Building Veskara (first time: a few minutes)…"
cmake --build build --target veskara veskara-cli
if [ -x build/src/app/veskara ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; }; then
  exec build/src/app/veskara "$@"
fi
if [ -x build/src/app/veskara ]; then
  echo "No display found: the window needs one. Use the command line instead:"
else
  echo "The window program is not built yet. The command line:"
fi
exec build/src/cli/veskara-cli --help
