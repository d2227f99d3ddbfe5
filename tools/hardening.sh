#!/usr/bin/env bash
# The hardening run, after the main tests: the unit tests under
# AddressSanitizer + UndefinedBehaviorSanitizer, the scan's threading tests
# under ThreadSanitizer, and every fuzz target for a few seconds over its
# corpus. Any sanitizer report, crash, hang or failed check fails the run.
#
#   tools/hardening.sh [asan|tsan|fuzz|heavy]...   (default: asan tsan fuzz)
#   FUZZ_SECONDS=60 tools/hardening.sh fuzz   (longer fuzzing)
#
# A crashing input is kept under the printed path: fix the fault, then add the
# input to fuzz/corpus/<target>/ as a regression case.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
JOBS=${JOBS:-2}
FUZZ_SECONDS=${FUZZ_SECONDS:-5}
PARTS=("$@")
[ ${#PARTS[@]} -gt 0 ] || PARTS=(asan tsan fuzz)
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1}

# Each part has its own build folder and configure preset (CMakePresets.json).
step() { printf '\n== %s (%ds)\n' "$1" "$SECONDS"; }

run_asan() {
  step "unit tests under AddressSanitizer + UndefinedBehaviorSanitizer (build-asan)"
  cmake --preset asan >/dev/null
  cmake --build build-asan -j"$JOBS"
  ctest --test-dir build-asan --output-on-failure -j"$JOBS"
}

run_tsan() {
  step "scan threading tests under ThreadSanitizer (build-tsan)"
  cmake --preset tsan >/dev/null
  cmake --build build-tsan -j"$JOBS" --target veskara_indexer_tests veskara_base_tests veskara-cli
  # The scan reads and converts on several threads, and sorts and writes a
  # large table on two; these run each end to end.
  ctest --test-dir build-tsan --output-on-failure -j"$JOBS" \
    -R '^(ScanTest|CandidateReaderTest|ConversionTest|DurabilityTest|RecoverBaseTest|AddCommandTest|PostingTableTest)\.'
}

run_fuzz() {
  step "fuzz targets, ${FUZZ_SECONDS}s each (build-fuzz)"
  cmake --preset fuzz >/dev/null
  cmake --build build-fuzz -j"$JOBS"
  local work
  work=$(mktemp -d "${TMPDIR:-/tmp}/veskara-fuzzrun-XXXXXX")
  local failed=()
  for corpus in "$ROOT"/fuzz/corpus/*/; do
    local target
    target=$(basename "$corpus")
    mkdir -p "$work/$target"
    # New inputs go to the scratch folder; the committed corpus stays as it
    # is and every input in it runs first, as the regression cases.
    if "$ROOT/build-fuzz/fuzz/$target" -max_total_time="$FUZZ_SECONDS" -timeout=20 -rss_limit_mb=3072 \
         -artifact_prefix="$work/$target-" -print_final_stats=1 \
         "$work/$target" "$corpus" >"$work/$target.log" 2>&1; then
      printf '%-20s %s\n' "$target" "$(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' "$work/$target.log" | grep -o '[0-9]*$') runs, ok"
    else
      failed+=("$target")
      tail -n 40 "$work/$target.log"
      echo "$target FAILED; the input is kept in: $(ls "$work/$target"-* 2>/dev/null | tr '\n' ' ')"
    fi
  done
  if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzz targets failed: ${failed[*]} (inputs kept in $work)"
    return 1
  fi
  rm -rf "$work"
}

run_heavy() {
  step "fault tests at full size under the sanitizers (build-asan)"
  cmake --preset asan >/dev/null
  cmake --build build-asan -j"$JOBS" --target veskara_hardening_heavy
  build-asan/tests/hardening/veskara_hardening_heavy
}

for part in "${PARTS[@]}"; do
  case "$part" in
    asan) run_asan ;;
    tsan) run_tsan ;;
    fuzz) run_fuzz ;;
    heavy) run_heavy ;;
    *) echo "unknown part: $part (asan, tsan, fuzz or heavy)" >&2; exit 2 ;;
  esac
done
step "hardening passed"
