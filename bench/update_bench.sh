#!/usr/bin/env bash
# Keeping a base current, against the full scan of the same tree: 50,000
# generated pages (a folder of 10,000 and one of 40,000) scanned into an
# empty base; then `update` with nothing changed, `update` after 1% of the
# pages were edited, and `remove` of the folder holding a fifth of them.
# Each line gives the wall time, the processor time (user + system: what the
# run itself cost, also on a loaded machine) and the peak resident memory of
# the real program (veskara-cli, as a user runs it).
#
#   bench/update_bench.sh BUILD_DIR [WORK_DIR]
set -euo pipefail
build=${1:?usage: update_bench.sh BUILD_DIR [WORK_DIR]}
work=${2:-/tmp/veskara-update-bench}
gen=$build/bench/corpus_generator
cli=$build/src/cli/veskara-cli

mkdir -p "$work"
mkdir -p "$work/tree"
if [ ! -d "$work/tree/fifth" ]; then
  "$gen" "$work/tree/fifth" 10000 4096 1 a >/dev/null
  "$gen" "$work/tree/rest" 40000 4096 2 b >/dev/null
fi
# The edits of an earlier run are undone by generating the pages again.
"$gen" "$work/tree/rest" 40000 4096 2 b >/dev/null
rm -rf "$work/base"

run() {
  local what=$1
  shift
  /usr/bin/time -f "%e %U %S %M" -o "$work/time" "$cli" --base "$work/base" "$@" >"$work/out" 2>/dev/null
  read -r seconds user system kb <"$work/time"
  printf '%-32s %7.2f s  cpu %6.2f s  %5d MB   %s\n' "$what" "$seconds" "$(awk -v u="$user" -v s="$system" 'BEGIN { print u + s }')" \
    "$((kb / 1024))" "$(head -c 60 "$work/out")"
}

run "full scan into an empty base" add "$work/tree"
run "update, nothing changed" update
# 1% of the pages: 500 of them get a new line and a new time.
find "$work/tree/rest" -name '*.htm' | sort | awk 'NR % 80 == 0' | head -n 500 | while read -r page; do
  printf '<p>edited page %s</p>\n' "$RANDOM" >>"$page"
done
run "update, 1% of the pages edited" update
run "remove the folder of a fifth" remove "$work/tree/fifth"
"$cli" --base "$work/base" check
