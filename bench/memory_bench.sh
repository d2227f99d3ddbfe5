#!/bin/sh
# Memory at the limits: `show` of a 200 MB one-line page (its maximum
# resident size, /usr/bin/time -v), and a scan of 32 PDF documents that
# would take all the memory they are given, converted with --jobs 32 (the
# children's proportional set sizes summed, sampled every tenth of a second).
#
#   bench/memory_bench.sh [BUILD_DIR] [WORK_DIR]
#
# Each document is a page that draws a form 1,000 times, which draws another
# 1,000 times, which shows 100 letters: 100 million letters for the text
# extraction to hold, from a file of a few kilobytes.
set -eu
build=${1:-build}
work=${2:-/tmp/veskara-memory-bench}
cli=$build/src/cli/veskara-cli
mkdir -p "$work"

page=$work/one-line.htm
if [ ! -f "$page" ]; then
  yes 'lorem ipsum <b>dolor</b> sit amet, consectetur &amp; adipiscing elit garden ' | tr -d '\n' |
    head -c 200000000 >"$page"
fi
rm -rf "$work/base"
/usr/bin/time -v "$cli" --base "$work/base" show "$page" garden >/dev/null 2>"$work/show.err"
echo "show of a $(($(wc -c <"$page") / 1000000)) MB one-line page:" \
  "$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/show.err") KB at most," \
  "$(sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$work/show.err")"

# obj NUMBER BODY [STREAM]: one object, with its stream's length.
obj() {
  if [ $# -eq 3 ]; then
    printf '%s 0 obj\n<< %s /Length %s >>\nstream\n%s\nendstream\nendobj\n' "$1" "$2" "$(printf '%s' "$3" | wc -c)" "$3"
  else
    printf '%s 0 obj\n%s\nendobj\n' "$1" "$2"
  fi
}
repeat() { yes "$1" | head -n "$2" | tr '\n' ' '; }
pdfs=$work/pdfs
if [ ! -d "$pdfs" ]; then
  mkdir -p "$pdfs"
  letters=$(yes A | head -n 100 | tr -d '\n')
  {
    printf '%%PDF-1.4\n'
    obj 1 '<< /Type /Catalog /Pages 2 0 R >>'
    obj 2 '<< /Type /Pages /Kids [3 0 R] /Count 1 >>'
    obj 3 '<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Resources << /XObject << /B 6 0 R >> >> /Contents 7 0 R >>'
    obj 4 '<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>'
    obj 5 '/Type /XObject /Subtype /Form /BBox [0 0 612 792] /Resources << /Font << /F1 4 0 R >> >>' \
      "BT /F1 12 Tf 72 720 Td ($letters) Tj ET"
    obj 6 '/Type /XObject /Subtype /Form /BBox [0 0 612 792] /Resources << /XObject << /A 5 0 R >> >>' \
      "$(repeat '/A Do' 1000)"
    obj 7 '' "$(repeat '/B Do' 1000)"
    printf 'trailer\n<< /Root 1 0 R >>\n%%%%EOF\n'
  } >"$pdfs/hungry00.pdf"
  for i in $(seq 1 31); do cp "$pdfs/hungry00.pdf" "$pdfs/hungry$(printf %02d "$i").pdf"; done
fi
rm -rf "$work/base"
"$cli" --base "$work/base" add --jobs 32 "$pdfs" >/dev/null 2>"$work/add.err" &
scan=$!
most=0
most_children=0
while kill -0 "$scan" 2>/dev/null; do
  sum=0
  children=0
  # Proportional sizes: a page the children share (the engine's code)
  # counts once, not once per child.
  for pid in $(ps --ppid "$scan" -o pid= 2>/dev/null); do
    pss=$(sed -n 's/^Pss: *\([0-9]*\) kB/\1/p' "/proc/$pid/smaps_rollup" 2>/dev/null || true)
    [ -n "$pss" ] || continue
    sum=$((sum + pss))
    children=$((children + 1))
  done
  [ "$sum" -gt "$most" ] && most=$sum
  [ "$children" -gt "$most_children" ] && most_children=$children
  sleep 0.1
done
wait "$scan" || true
echo "add --jobs 32 of 32 such PDF documents: at most $most_children conversion children at once," \
  "their proportional resident sizes summing to $((most / 1024)) MB at most (a quarter of this machine:" \
  "$(($(sed -n 's/^MemTotal: *\([0-9]*\) kB/\1/p' /proc/meminfo) / 4096)) MB); $(grep -c 'conversion failed' "$work/add.err" || true) documents unread"
