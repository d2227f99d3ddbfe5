#!/usr/bin/env bash
# Builds the Debian package from a clean build folder: the release build of
# the programs, their manual pages, libwpdf and its engine module, installed
# under /usr, as build-package/veskara_VERSION_ARCH.deb.
#   tools/package.sh
# Install it with `apt install ./build-package/veskara_*.deb`.
set -euo pipefail
cd "$(dirname "$0")/.."
./tools/setup.sh package
if git rev-parse --git-dir >/dev/null 2>&1 && [ -n "$(git status --porcelain --untracked-files=no)" ]; then
  echo "Note: the working tree has changes that are not committed; the package holds them."
fi
rm -rf build-package
cmake --preset package >/dev/null
echo "Building the package (a few minutes)…"
cmake --build build-package
cpack --preset deb >/dev/null
deb=$(ls build-package/veskara_*.deb)
echo "$deb"
dpkg-deb --field "$deb" Depends
