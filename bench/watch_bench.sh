#!/usr/bin/env bash
# `veskara-cli watch` on 50,000 generated pages of about 4 KB in 2,000
# folders (25 to a folder):
# - the full scan of the tree into an empty base, and the catch-up at the
#   start of `watch` over that unchanged base (start to its first summary);
# - idle: the processor time the watcher uses and how often it wakes over
#   IDLE seconds with nothing changing, its resident memory; beside it, the
#   peak of an `update` that reads 100 edited pages (what loading the base
#   for a change costs);
# - ROUNDS rounds of 100 changes made by this script as fast as it can (25
#   edits, 25 new pages, 25 renames, 25 deletions, spread over the tree):
#   the time from the last change until all of them are in the base (the new
#   words in wrds.txt, the new paths in fls.txt, the deleted and the old
#   names gone), looked at every 0.05 s.
# Then SIGTERM: the exit code, and `check` of the base.
#
#   bench/watch_bench.sh BUILD_DIR [WORK_DIR] [ROUNDS] [IDLE]
set -euo pipefail
build=${1:?usage: watch_bench.sh BUILD_DIR [WORK_DIR] [ROUNDS] [IDLE]}
work=${2:-/tmp/veskara-watch-bench}
rounds=${3:-10}
idle=${4:-30}
gen=$build/bench/corpus_generator
cli=$build/src/cli/veskara-cli
tree=$work/tree
base=$work/base

mkdir -p "$work"
# The changes of an earlier run are undone by generating the tree again.
rm -rf "$tree" "$base"
"$gen" "$tree" 50000 4096 1 page 25 >/dev/null

now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", b - a }'; }
ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
status_kb() { awk -v k="$2:" '$1 == k { print $2 }' "/proc/$1/status"; }
wakeups() { awk '$1 == "voluntary_ctxt_switches:" || $1 == "nonvoluntary_ctxt_switches:" { n += $2 } END { print n }' "/proc/$1/status"; }

/usr/bin/time -f "%e %U %S %M" -o "$work/time" "$cli" --base "$base" add "$tree" >/dev/null 2>&1
read -r full_s full_u full_sys full_kb <"$work/time"
printf 'full scan into an empty base     %7.2f s  cpu %6.2f s  %5d MB\n' "$full_s" \
  "$(awk -v u="$full_u" -v s="$full_sys" 'BEGIN { print u + s }')" "$((full_kb / 1024))"
/usr/bin/time -f "%e %U %S %M" -o "$work/time" "$cli" --base "$base" update >/dev/null 2>&1
read -r upd_s upd_u upd_sys upd_kb <"$work/time"
printf 'update, nothing changed          %7.2f s  cpu %6.2f s  %5d MB\n' "$upd_s" \
  "$(awk -v u="$upd_u" -v s="$upd_sys" 'BEGIN { print u + s }')" "$((upd_kb / 1024))"
# 100 pages edited and read again by `update`: the cost of loading the base.
for ((f = 0; f < 2000; f += 20)); do printf '<p>edited</p>\n' >>"$(printf '%s/d%d/page%06d.htm' "$tree" "$f" $((f * 25)))"; done
/usr/bin/time -f "%e %U %S %M" -o "$work/time" "$cli" --base "$base" update >/dev/null 2>&1
read -r load_s load_u load_sys load_kb <"$work/time"
printf 'update, 100 pages edited         %7.2f s  cpu %6.2f s  %5d MB\n' "$load_s" \
  "$(awk -v u="$load_u" -v s="$load_sys" 'BEGIN { print u + s }')" "$((load_kb / 1024))"

: >"$work/watch.out"
start=$(now)
"$cli" --base "$base" watch >"$work/watch.out" 2>"$work/watch.err" &
pid=$!
trap 'kill -TERM $pid 2>/dev/null || true' EXIT
# Line 1: "Watching N folders"; line 2: the catch-up's summary.
until [ "$(wc -l <"$work/watch.out")" -ge 2 ]; do sleep 0.01; done
caught_up=$(now)
printf 'catch-up at the start of watch   %7.2f s  (%s of the full scan)   %s\n' "$(elapsed "$start" "$caught_up")" \
  "$(awk -v a="$(elapsed "$start" "$caught_up")" -v b="$full_s" 'BEGIN { printf "1/%.1f", b / a }')" \
  "$(head -n 1 "$work/watch.out")"

sleep 1
t0=$(ticks $pid)
w0=$(wakeups $pid)
sleep "$idle"
printf 'idle %3d s                        cpu %d ticks, %d wakeups; resident %d MB (peak so far %d MB)\n' \
  "$idle" "$(($(ticks $pid) - t0))" "$(($(wakeups $pid) - w0))" "$(($(status_kb $pid VmRSS) / 1024))" \
  "$(($(status_kb $pid VmHWM) / 1024))"

# A letter-only word unique to round $1, change $2.
word() { printf 'qzx%s' "$(printf '%03d%03d' "$1" "$2" | tr 0-9 a-j)"; }
latencies=()
for ((r = 1; r <= rounds; r++)); do
  : >"$work/words" && : >"$work/present" && : >"$work/absent"
  lines_before=$(wc -l <"$work/watch.out")
  made=0
  for ((i = 0; i < 100; i++)); do
    folder=$(((r * 197 + i * 19) % 2000))
    page=$(printf '%s/d%d/page%06d.htm' "$tree" "$folder" $((folder * 25 + i % 25)))
    w=$(word "$r" "$i")
    case $((i % 4)) in
      0) # an edit
        [ -f "$page" ] || continue
        printf '<p>%s</p>\n' "$w" >>"$page"
        echo "$w" >>"$work/words"
        ;;
      1) # a new page
        printf '<p>%s</p>\n' "$w" >"$tree/d$folder/new-$w.htm"
        echo "$w" >>"$work/words"
        echo "$tree/d$folder/new-$w.htm" >>"$work/present"
        ;;
      2) # a rename into another folder
        [ -f "$page" ] || continue
        to="$tree/d$(((folder + 1000) % 2000))/moved-$w.htm"
        mv "$page" "$to"
        echo "$to" >>"$work/present"
        echo "$page" >>"$work/absent"
        ;;
      3) # a deletion
        [ -f "$page" ] || continue
        rm "$page"
        echo "$page" >>"$work/absent"
        ;;
    esac
    made=$((made + 1))
  done
  last=$(now)
  # The base files end their lines with CR LF; words are kept in capitals.
  tr a-z A-Z <"$work/words" | sed 's/$/\r/' >"$work/words.crlf"
  sed 's/$/\r/' "$work/present" >"$work/present.crlf"
  sed 's/$/\r/' "$work/absent" >"$work/absent.crlf"
  while true; do
    if [ "$(wc -l <"$work/watch.out")" -gt "$lines_before" ] &&
      [ "$(grep -cFxf "$work/words.crlf" "$base/wrds.txt" || true)" -eq "$(wc -l <"$work/words")" ] &&
      [ "$(grep -cFxf "$work/present.crlf" "$base/fls.txt" || true)" -eq "$(wc -l <"$work/present")" ] &&
      [ "$(grep -cFxf "$work/absent.crlf" "$base/fls.txt" || true)" -eq 0 ]; then
      break
    fi
    sleep 0.05
  done
  latency=$(elapsed "$last" "$(now)")
  latencies+=("$latency")
  printf 'round %2d: all %d changes in the base %5.2f s after the last; %s\n' "$r" "$made" "$latency" \
    "$(tail -n 1 "$work/watch.out")"
done
printf '%s\n' "${latencies[@]}" | sort -n | awk '{ v[NR] = $1 } END {
  i = int(NR * 0.95 + 0.999); if (i > NR) i = NR
  printf "latency over %d rounds: median %.2f s, p95 %.2f s, largest %.2f s\n", NR, v[int((NR + 1) / 2)], v[i], v[NR] }'

peak=$(($(status_kb $pid VmHWM) / 1024))
# One of the last round's words, as a search finds it.
"$cli" --base "$base" find "$(head -n 1 "$work/words")" | head -n 1
kill -TERM $pid
set +e
wait $pid
code=$?
set -e
trap - EXIT
printf 'resident peak of the watcher over the run: %d MB (an update of 100 edited pages: %d MB); SIGTERM: exit %d; check: ' "$peak" "$((load_kb / 1024))" "$code"
"$cli" --base "$base" check
