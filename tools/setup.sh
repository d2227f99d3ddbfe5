#!/usr/bin/env bash
# Installs the Debian packages that the build, the tests and the benchmarks need.
set -euo pipefail
# The PDF engine: Debian ships MuPDF as static libraries only, so the build
# also needs the development files of the libraries they call.
PACKAGES=(cmake ninja-build g++ pkg-config clang libgtest-dev libbenchmark-dev
          qt6-base-dev poppler-utils
          libmupdf-dev libfreetype-dev libharfbuzz-dev libjpeg-dev libopenjp2-7-dev
          libjbig2dec0-dev libmujs-dev libgumbo-dev zlib1g-dev)
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
updated=""

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

update_once() {
  [ -z "$updated" ] || return 0
  $SUDO apt-get update -qq
  updated=1
}

install_missing() {
  local missing=() p
  for p in "$@"; do
    installed "$p" || missing+=("$p")
  done
  [ ${#missing[@]} -gt 0 ] || return 0
  echo "Installing: ${missing[*]}"
  update_once
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
}

install_missing "${PACKAGES[@]}"

# The fuzz targets link clang's own runtime (libFuzzer, the sanitizers), which
# comes in a package named after clang's major version: ask the installed
# clang++ which one it needs, so that the set-up follows the release's clang.
clang_major=$(clang++ --version | sed -n 's/.*clang version \([0-9][0-9]*\).*/\1/p' | head -n 1)
if [ -z "$clang_major" ]; then
  echo "tools/setup.sh: cannot tell the version of clang++ from 'clang++ --version'" >&2
  exit 1
fi
runtime="libclang-rt-$clang_major-dev"
if ! installed "$runtime"; then
  apt-cache show "$runtime" >/dev/null 2>&1 || update_once
  # Older releases ship the runtime inside libclang-common-N-dev, which clang
  # already depends on; there is nothing more to install then.
  if apt-cache show "$runtime" >/dev/null 2>&1; then
    install_missing "$runtime"
  fi
fi
