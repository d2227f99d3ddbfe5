#!/usr/bin/env bash
# A scan of real documents into an empty base, timed beside the peers on the
# same files: serial pdftotext (and mutool, when installed) over the PDFs,
# and recollindex restricted to HTML and PDF, when installed.
#
#   bench/real_docs.sh BUILD_DIR pdf|html [CACHE_DIR]
#
# The documents come from Debian documentation packages, fetched with
# `apt-get download` and unpacked with `dpkg-deb -x` into CACHE_DIR
# (default ~/.cache/veskara-bench): nothing is installed, nothing lands in
# the repository. The tree holds only the files of its kind (hard links).
# The machine may be shared: each run prints `uptime` before it.
set -euo pipefail
build=$(cd "${1:?usage: real_docs.sh BUILD_DIR pdf|html [CACHE_DIR]}" && pwd)
kind=${2:?usage: real_docs.sh BUILD_DIR pdf|html [CACHE_DIR]}
cache=${3:-${XDG_CACHE_HOME:-$HOME/.cache}/veskara-bench}
case "$kind" in
  pdf) packages=(r-doc-pdf gnuplot-doc octave-doc debian-reference-en asymptote-doc texlive-latex-recommended-doc)
       pattern='.*\.pdf' ;;
  html) packages=(python3.11-doc postgresql-doc-15 cmake-doc libstdc++-12-doc)
        pattern='.*\.\(htm\|html\)' ;;
  *) echo "real_docs.sh: the kind is pdf or html" >&2; exit 2 ;;
esac

mkdir -p "$cache/debs" "$cache/unpacked"
tree="$cache/tree-$kind"
if [ ! -d "$tree" ]; then
  for p in "${packages[@]}"; do
    if ! ls "$cache/debs/${p}"_*.deb >/dev/null 2>&1; then
      (cd "$cache/debs" && apt-get download "$p" >/dev/null)
    fi
    [ -d "$cache/unpacked/$p" ] || dpkg-deb -x "$cache"/debs/"${p}"_*.deb "$cache/unpacked/$p"
  done
  mkdir -p "$tree.part"
  for p in "${packages[@]}"; do
    (cd "$cache/unpacked" && find "$p" -type f -regex "$pattern" -exec cp --parents -l -t "$tree.part" {} +)
  done
  mv "$tree.part" "$tree"
fi
files=$(find "$tree" -type f | wc -l)
echo "== $kind tree: $files files, $(du -sh --apparent-size "$tree" | cut -f1)B in $tree"
# Warm the page cache, so that every tool reads from memory.
find "$tree" -type f -exec cat {} + >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
timed() {  # LABEL COMMAND...: wall time, processor share and peak memory
  local label=$1
  shift
  echo "   load before: $(uptime | sed 's/.*load average: //')"
  /usr/bin/time -o "$work/time" -f "$label: %e s wall, %P CPU, %M KB peak" "$@" || true
  cat "$work/time"
}

echo "== Veskara: scan into an empty base (jobs: ${VESKARA_JOBS:-one per processor})"
timed "veskara" "$build/bench/scan_bench" "$work/base" "$tree"

if [ "$kind" = pdf ]; then
  echo "== pdftotext, one file after another"
  find "$tree" -type f -name '*.pdf' | sort >"$work/list"
  timed "pdftotext" sh -c 'while IFS= read -r f; do pdftotext "$f" "$1" 2>/dev/null || true; done <"$2"' \
    sh "$work/out.txt" "$work/list"
  if command -v mutool >/dev/null; then
    echo "== mutool draw -F txt, one file after another"
    timed "mutool" sh -c 'while IFS= read -r f; do mutool draw -q -F txt -o "$1" "$f" 2>/dev/null || true; done <"$2"' \
      sh "$work/out.txt" "$work/list"
  fi
fi

if command -v recollindex >/dev/null; then
  echo "== recollindex, HTML and PDF only"
  mkdir -p "$work/recoll"
  # idxniceprio: recollindex lowers its own priority by default, which on a
  # shared machine would time the other users' work, not its own.
  printf 'topdirs = %s\nindexedmimetypes = text/html application/pdf\nloglevel = 1\nidxniceprio = 0\n' "$tree" \
    >"$work/recoll/recoll.conf"
  timed "recollindex" sh -c 'recollindex -c "$1" -z >/dev/null 2>&1' sh "$work/recoll"
fi
