#!/usr/bin/env bash
# Fuzzing (libFuzzer, clang 14, with AddressSanitizer and UndefinedBehaviorSanitizer), in build-sanitize/.
#   scripts/fuzz.sh [seconds] [target...]   fuzzes each target (all by default) for the given time (60 s),
#                                           starting from its seed corpus in fuzz/corpus/<target>/; with all
#                                           targets, then runs the kill test's long form (240 kills)
#   scripts/fuzz.sh --corpus                runs each target once over its seed corpus (CI)
# New inputs go to build-sanitize/fuzz-corpus/<target>/, findings to build-sanitize/fuzz-findings/<target>/.
# A finding, once fixed, belongs in fuzz/corpus/<target>/ so it stays fixed.
set -euo pipefail
cd "$(dirname "$0")/.."
targets=(textfile recipientline settings datetime csvimport compose)

source scripts/sanitizer-env.sh
# While fuzzing, libFuzzer checks every input that allocates more than it frees for leaks, with quick
# (frame pointer) stack traces; the leak passes below look once, at the end, with whole stack traces.
fuzz_asan="$ASAN_OPTIONS:fast_unwind_on_malloc=1"

# Runs a target once over inputs (files or folders) and looks for leaks when it ends.
leak_pass() {
  local t=$1
  shift
  build-sanitize/fuzz/fuzz_"$t" -detect_leaks=0 -runs=0 -artifact_prefix=build-sanitize/fuzz-findings/"$t"/ "$@" \
    >>build-sanitize/fuzz-"$t".log 2>&1
}

build() {
  cmake --preset "${TARNEL_SANITIZE_PRESET:-sanitize}" >/dev/null
  cmake --build build-sanitize --target "${@/#/fuzz_}" >/dev/null
}

if [ "${1:-}" = "--corpus" ]; then
  build "${targets[@]}"
  failed=0
  for t in "${targets[@]}"; do
    inputs=(fuzz/corpus/"$t"/*)
    mkdir -p build-sanitize/fuzz-findings/"$t"
    if build-sanitize/fuzz/fuzz_"$t" -detect_leaks=0 -artifact_prefix=build-sanitize/fuzz-findings/"$t"/ \
      "${inputs[@]}" >build-sanitize/fuzz-"$t".log 2>&1; then
      echo "fuzz corpus $t: ${#inputs[@]} inputs, 0 crashes"
    else
      echo "fuzz corpus $t: FAILED, see build-sanitize/fuzz-$t.log"
      tail -n 40 build-sanitize/fuzz-"$t".log
      failed=1
    fi
  done
  exit $failed
fi

seconds="${1:-60}"
[ $# -gt 0 ] && shift
chosen=("$@")
[ ${#chosen[@]} -eq 0 ] && chosen=("${targets[@]}")
build "${chosen[@]}"
failed=0
for t in "${chosen[@]}"; do
  work=build-sanitize/fuzz-corpus/$t
  findings=build-sanitize/fuzz-findings/$t
  log=build-sanitize/fuzz-$t.log
  mkdir -p "$work" "$findings"
  before=$(find "$findings" -type f | wc -l)
  # Composition goes through GLib and GMime caches, which makes nearly every input look like a leak and
  # slows the search to a crawl: its leaks are left to the pass at the end.
  per_input_leaks=1
  [ "$t" = compose ] && per_input_leaks=0
  ASAN_OPTIONS=$fuzz_asan:detect_leaks=$per_input_leaks build-sanitize/fuzz/fuzz_"$t" "$work" fuzz/corpus/"$t" -max_total_time="$seconds" \
    -timeout=10 -detect_leaks=$per_input_leaks -print_final_stats=1 -artifact_prefix="$findings/" \
    >"$log" 2>&1 || true
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  [ -n "$execs" ] || execs=$(grep -o '^#[0-9]*' "$log" | tail -n 1 | tr -d '#')
  crashes=$(($(find "$findings" -type f | wc -l) - before))
  if ! leak_pass "$t" "$work" fuzz/corpus/"$t"; then
    echo "  leak pass failed, see $log"
    crashes=$((crashes + 1))
  fi
  echo "fuzz $t: ${execs:-0} execs, $crashes crashes"
  [ "$crashes" -eq 0 ] || { failed=1; echo "  see $log and $findings/"; }
done

if [ $# -eq 0 ]; then
  cmake --preset "${TARNEL_PRESET:-default}" >/dev/null
  cmake --build build --target tst_killsafety >/dev/null
  QT_QPA_PLATFORM=offscreen build/tests/tst_killsafety --long | grep -E '^(QINFO|FAIL|Totals)' || failed=1
fi
exit $failed
