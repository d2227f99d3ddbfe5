#!/usr/bin/env bash
# Installs what the build needs, builds, and starts Veskara.
set -euo pipefail
cd "$(dirname "$0")"
./tools/setup.sh
# The same folder and settings as test.sh (CMakePresets.json), so either
# script reuses what the other built.
cmake --preset dev >/dev/null
cmake --build build
if [ -x build/src/app/veskara ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; }; then
  exec build/src/app/veskara "$@"
fi
if [ -x build/src/app/veskara ]; then
  echo "No display found: the window needs one. Use the command line instead:"
else
  echo "The window program is not built yet. The command line:"
fi
exec build/src/cli/veskara-cli --help
