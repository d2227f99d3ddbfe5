#!/usr/bin/env bash
# The whole `veskara-cli search` process as a user feels it, on the base of a
# real tree of pages, beside `rg -i -w -l` over the raw files when rg exists.
#
#   bench/search_bench_cli.sh BUILD_DIR TREE [WORD...]
#
# The base is built once into $TMPDIR/veskara-cli-bench-base (removed first).
set -euo pipefail
build=${1:?build directory}
tree=${2:?tree of pages}
shift 2
words=("$@")
[ ${#words[@]} -gt 0 ] || words=(iterator borrow)
cli="$build/src/cli/veskara-cli"
base="${TMPDIR:-/tmp}/veskara-cli-bench-base"
runs=30

rm -rf "$base" && mkdir -p "$base"
start=$(date +%s.%N)
"$cli" --base "$base" add "$tree" 2>/dev/null
echo "add: $(echo "$(date +%s.%N) - $start" | bc) s; $("$cli" --base "$base" stats | tr '\n' ' ')"
ls -l "$base/wrds.txt" "$base/fls.txt"

# Milliseconds per run of a command, averaged over $runs runs (output discarded).
per_run() {
  local begin end
  begin=$(date +%s%N)
  for _ in $(seq "$runs"); do "$@" >/dev/null 2>&1 || true; done
  end=$(date +%s%N)
  echo "scale=2; ($end - $begin) / $runs / 1000000" | bc
}

for w in "${words[@]}"; do
  "$cli" --base "$base" search "$w" >/dev/null 2>&1 || true  # warm the page cache
  echo "veskara-cli search $w: $(per_run "$cli" --base "$base" search "$w") ms"
  if command -v rg >/dev/null; then
    rg -L -i -w -l "$w" "$tree" >/dev/null 2>&1 || true
    echo "rg -L -i -w -l $w: $(runs=5 per_run rg -L -i -w -l "$w" "$tree") ms"
  fi
done
