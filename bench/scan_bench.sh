#!/usr/bin/env bash
# The scan benchmark: 50,000 generated pages of about 4 KB scanned into an
# empty base, the same tree again (everything skipped), then 1,000 new pages
# into the big base. Each run prints its steps, rates and peak memory.
#
#   bench/scan_bench.sh BUILD_DIR [WORK_DIR]
set -euo pipefail
build=${1:?usage: scan_bench.sh BUILD_DIR [WORK_DIR]}
work=${2:-/tmp/veskara-scan-bench}
gen=$build/bench/corpus_generator
bench=$build/bench/scan_bench

mkdir -p "$work"
if [ ! -d "$work/corpus" ]; then
  "$gen" "$work/corpus" 50000 4096 1
fi
rm -rf "$work/base" "$work/corpus/zz_new"

echo "== 50,000 files into an empty base"
"$bench" "$work/base" "$work/corpus"
echo "== the same tree again (all skipped)"
"$bench" "$work/base" "$work/corpus"
echo "== 1,000 new files into the big base"
"$gen" "$work/corpus/zz_new" 1000 4096 2 new >/dev/null
"$bench" "$work/base" "$work/corpus"
