#!/usr/bin/env bash
# The bounded fuzz run: builds the fuzz targets (fuzz preset: clang, libFuzzer, AddressSanitizer
# and UndefinedBehaviorSanitizer) and runs each for a bounded time from its seed corpus under
# fuzz/corpus/<target>. New inputs go to a work corpus under build/fuzz/work/<target>, which
# later runs on this machine start from as well; the seed corpus is only read.
#
# A finding (crash, sanitizer report, failed check, leak, timeout, runaway memory) stops that
# target, leaves its input under build/fuzz/findings/<target>/ and makes the script exit 1.
#
# Usage: scripts/fuzz.sh [SECONDS-PER-TARGET] [TARGET...]
#   SECONDS-PER-TARGET  default $FUZZ_SECONDS, else 60
#   TARGET              e.g. generators; default every *_fuzz target of the build
# Extra libFuzzer options can be given in $FUZZ_OPTIONS (e.g. "-jobs=2 -workers=2").
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/bootstrap.sh clang libclang-rt-14-dev

seconds=${1:-${FUZZ_SECONDS:-60}}
shift || true
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

if [ $# -gt 0 ]; then
  targets=("$@")
else
  targets=()
  for binary in build/fuzz/fuzz/*_fuzz; do
    [ -x "$binary" ] && targets+=("$(basename "$binary" _fuzz)")
  done
fi

status=0
total=0
for target in "${targets[@]}"; do
  binary=build/fuzz/fuzz/${target}_fuzz
  work=build/fuzz/work/$target
  findings=build/fuzz/findings/$target
  log=build/fuzz/logs/$target.log
  mkdir -p "$work" "$findings" "$(dirname "$log")"
  echo "== fuzz $target for ${seconds}s"
  # A target's dictionary of tokens (fuzz/<target>.dict), when it has one, guides the mutations.
  dictionary=()
  [ -f "fuzz/$target.dict" ] && dictionary=(-dict="fuzz/$target.dict")
  # Leaks are checked per input; an input that runs 10 s or takes 2 GiB is a finding too.
  if "$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
       -artifact_prefix="$findings/" "${dictionary[@]}" ${FUZZ_OPTIONS:-} "$work" "fuzz/corpus/$target" >"$log" 2>&1; then
    outcome="no finding"
  else
    outcome="FINDING (input under $findings, log $log)"
    status=1
    grep -E "ERROR|runtime error|check failed|SUMMARY" "$log" | head -5 || true
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  total=$((total + ${runs:-0}))
  echo "fuzz $target: ${runs:-0} executions (${rate:-0}/s), $outcome"
done
echo "fuzz: $total executions in all"
exit $status
