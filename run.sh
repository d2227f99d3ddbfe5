#!/usr/bin/env bash
# Installs what the build needs, builds, and starts Veskara.
set -euo pipefail
cd "$(dirname "$0")"
./tools/setup.sh
BUILD=${BUILD_DIR:-build}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD"
if [ -x "$BUILD/src/app/veskara" ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; }; then
  exec "$BUILD/src/app/veskara" "$@"
fi
if [ -x "$BUILD/src/app/veskara" ]; then
  echo "No display found: the window needs one. Use the command line instead:"
else
  echo "The window program is not built yet. The command line:"
fi
exec "$BUILD/src/cli/veskara-cli" --help
