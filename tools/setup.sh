#!/usr/bin/env bash
# Installs the Debian packages that Veskara needs:
#   tools/setup.sh run       what building and running the two programs needs (run.sh)
#   tools/setup.sh package   that, and what making the Debian package needs (tools/package.sh)
#   tools/setup.sh           that, and what the tests, the fuzz targets and the benchmarks need
set -euo pipefail
want=${1:-all}
case "$want" in
  run | package | all) ;;
  *)
    echo "usage: tools/setup.sh [run|package]" >&2
    exit 2
    ;;
esac

# The PDF engine: Debian ships MuPDF as static libraries only, so the build
# also needs the development files of the libraries they call. The other
# kinds: ZIP archives (libzip), XML (expat), the encodings of text files
# (uchardet), and gzip, bzip2 and xz (zlib, libbz2, liblzma).
RUN_PACKAGES=(cmake ninja-build g++ pkg-config qt6-base-dev
              libmupdf-dev libfreetype-dev libharfbuzz-dev libjpeg-dev libopenjp2-7-dev
              libjbig2dec0-dev libmujs-dev libgumbo-dev zlib1g-dev
              libzip-dev libexpat1-dev libuchardet-dev libbz2-dev liblzma-dev)
# dpkg-shlibdeps (dpkg-dev) works out the package's dependencies; it reads
# the binaries' kind with `file`.
PACKAGE_PACKAGES=(dpkg-dev file)
TEST_PACKAGES=(clang libgtest-dev libbenchmark-dev poppler-utils "${PACKAGE_PACKAGES[@]}")

# Another apt run (an upgrade, another set-up) holds the lock for a while:
# wait for it instead of failing.
APT=(env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600)
[ "$(id -u)" -eq 0 ] || APT=(sudo "${APT[@]}")
updated=""

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

# Runs apt quietly: what it and the packages' scripts print is shown only
# when it fails.
quietly() {
  local log status=0
  log=$(mktemp)
  "$@" >"$log" 2>&1 || status=$?
  [ "$status" -eq 0 ] || cat "$log" >&2
  rm -f "$log"
  return "$status"
}

update_once() {
  [ -z "$updated" ] || return 0
  quietly "${APT[@]}" update
  updated=1
}

# install_missing WHAT PACKAGE...: one line saying what, then apt, quietly.
install_missing() {
  local what=$1 missing=() p
  shift
  for p in "$@"; do
    installed "$p" || missing+=("$p")
  done
  [ ${#missing[@]} -gt 0 ] || return 0
  echo "Installing $what…"
  update_once
  quietly "${APT[@]}" install -y "${missing[@]}"
}

case "$want" in
  run) install_missing "build packages" "${RUN_PACKAGES[@]}" ;;
  package) install_missing "build and packaging packages" "${RUN_PACKAGES[@]}" "${PACKAGE_PACKAGES[@]}" ;;
  all) install_missing "build and test packages" "${RUN_PACKAGES[@]}" "${TEST_PACKAGES[@]}" ;;
esac
[ "$want" = all ] || exit 0

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
    install_missing "clang's runtime" "$runtime"
  fi
fi
