#!/usr/bin/env bash
# The load test: a base of 500,000 generated pages; then every one- and
# two-letter prefix (Latin and Cyrillic capitals) searched with veskara-cli
# in a loop while `veskara-cli add` scans 10,000 new pages into the base in
# another process. Every search during the scan must give exactly the old
# base's or the new base's result (compared with full rounds run before and
# after), none may fail, and the final base must pass `veskara-cli check`.
# Not part of ./test.sh: it takes a quarter of an hour and a few GB of disk.
#
#   tools/load_test.sh [FILES [NEW_FILES]]     (default 500000 10000)
#   WORK=/tmp/veskara-load tools/load_test.sh
# Built by the release preset, in build-release.
set -euo pipefail
cd "$(dirname "$0")/.."
FILES=${1:-500000}
NEW_FILES=${2:-10000}
BUILD=build-release
WORK=${WORK:-/tmp/veskara-load}
BYTES=${BYTES:-512}

cmake --preset release >/dev/null
cmake --build "$BUILD" -j2 --target veskara-cli corpus_generator >/dev/null
CLI=$PWD/$BUILD/src/cli/veskara-cli
GEN=$PWD/$BUILD/bench/corpus_generator

mkdir -p "$WORK"
if [ ! -f "$WORK/tree-$FILES.done" ]; then
  rm -rf "$WORK/tree" "$WORK/new"
  echo "== generating $FILES pages of about $BYTES bytes"
  /usr/bin/time -f "%e s" "$GEN" "$WORK/tree" "$FILES" "$BYTES" 1 >/dev/null
  "$GEN" "$WORK/new" "$NEW_FILES" "$BYTES" 2 new >/dev/null
  touch "$WORK/tree-$FILES.done"
fi

rm -rf "$WORK/base"
mkdir -p "$WORK/base"
echo "== scan of $FILES pages into an empty base"
/usr/bin/time -f "%e s wall, %U s user, %S s system, %M KB peak" "$CLI" --base "$WORK/base" add "$WORK/tree" >/dev/null
ls -l "$WORK/base"
"$CLI" --base "$WORK/base" check

python3 - "$CLI" "$WORK" <<'PY'
import hashlib, subprocess, sys, time
from concurrent.futures import ThreadPoolExecutor

cli, work = sys.argv[1], sys.argv[2]
base = work + "/base"
letters = [chr(c) for c in range(ord("A"), ord("Z") + 1)] + \
          [chr(c) for c in range(ord("А"), ord("Я") + 1)] + ["Ё"]
queries = letters + [a + b for a in letters for b in letters]

def search(q):
    p = subprocess.run([cli, "--base", base, "search", q], capture_output=True)
    return p.returncode, hashlib.sha1(p.stdout).hexdigest(), p.stderr

def round_of(name):
    start = time.time()
    with ThreadPoolExecutor(2) as pool:
        results = dict(zip(queries, pool.map(search, queries)))
    bad = [q for q, r in results.items() if r[0] not in (0, 1)]
    assert not bad, f"failed searches: {bad[:5]}"
    print(f"{name}: {len(queries)} searches in {time.time() - start:.1f} s, "
          f"{sum(r[0] == 0 for r in results.values())} with results, {len(bad)} failed")
    return results

before = round_of("before the scan")
scan = subprocess.Popen(["/usr/bin/time", "-f", "%e s wall, %M KB peak", cli, "--base", base, "add", work + "/new"],
                        stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
during = []
start = time.time()
i = 0
while scan.poll() is None:
    q = queries[i % len(queries)]
    during.append((q, search(q)))
    i += 1
scan_err = scan.stderr.read().decode()
print(f"scan of the new pages: exit {scan.returncode}, {scan_err.strip().splitlines()[-1]}")
print(f"during the scan: {len(during)} searches in {time.time() - start:.1f} s")
after = round_of("after the scan")

# Exit 1 is "Nothing was found..." on stderr; 2 would be a failure.
failed = [(q, r) for q, r in during if r[0] not in (0, 1)]
old = sum(1 for q, r in during if r[:2] == before[q][:2])
new = sum(1 for q, r in during if r[:2] == after[q][:2] and r[:2] != before[q][:2])
neither = [q for q, r in during if r[:2] != before[q][:2] and r[:2] != after[q][:2]]
changed = sum(1 for q in queries if before[q][:2] != after[q][:2])
print(f"{changed} of {len(queries)} queries have a different result after the scan")
print(f"during the scan: {old} gave the old result, {new} the new one, {len(neither)} neither, {len(failed)} failed")
for q, r in failed[:5]:
    print("failed:", q, r[0], r[2].decode(errors="replace"))
for q in neither[:5]:
    print("neither old nor new:", q)
sys.exit(1 if failed or neither or scan.returncode != 0 else 0)
PY
echo "== final base"
ls -l "$WORK/base"
"$CLI" --base "$WORK/base" check
