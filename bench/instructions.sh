#!/usr/bin/env bash
# Instructions per record of every benchmarked operation, counted by callgrind: repeatable
# whatever else runs on the machine, unlike the wall-clock figures.
#
#   bench/instructions.sh [BUILD_DIR] [RECORDS]
#
# BUILD_DIR defaults to build/bench (cmake --preset bench && cmake --build --preset bench),
# RECORDS to 20000. Only the loop over the records is counted (--toggle-collect on
# countedLoop), not the set-up. Prints each operation's instructions per record and its ratio
# to its baseline's.
#
#   bench/instructions.sh --convert [BUILD_DIR] [SHOTS] [FORMATS]
#
# counts a whole conversion instead: `exportgen convert` of a synthetic job of SHOTS shots
# (default 100000) to each of FORMATS (default "rw5 sdr"), start-up included, and prints the
# instructions per shot; then the same for the job's RW5 and SDR files read back (raw to raw).
set -euo pipefail
command -v valgrind >/dev/null || { echo "valgrind is needed (apt-get install valgrind)" >&2; exit 2; }
if [ "${1:-}" = --convert ]; then
  build=${2:-build/bench}
  shots=${3:-100000}
  formats=${4:-"rw5 sdr"}
  exportgen="$build/tools/exportgen/exportgen"
  [ -x "$exportgen" ] || { echo "no $exportgen: build the bench preset first" >&2; exit 2; }
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  "$exportgen" sample --shots "$shots" -o "$work/job.json"
  count() {
    valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 >/dev/null |
      sed -n 's/.*Collected : \([0-9]*\).*/\1/p'
  }
  printf '%-14s %14s %12s\n' conversion instructions instr/shot
  for format in $formats; do
    total=$(count "$exportgen" convert "$work/job.json" -f "$format" -o "$work/out.$format" --quiet)
    printf '%-14s %14d %12d\n' "json>$format" "$total" $((total / shots))
  done
  for source in rw5 sdr; do
    [ -f "$work/out.$source" ] || "$exportgen" convert "$work/job.json" -f "$source" -o "$work/out.$source" --quiet
    for format in $formats; do
      total=$(count "$exportgen" convert "$work/out.$source" -f "$format" -o "$work/raw.$format" --quiet)
      printf '%-14s %14d %12d\n' "$source>$format" "$total" $((total / shots))
    done
  done
  exit 0
fi
build=${1:-build/bench}
records=${2:-20000}
program="$build/bench/exportgen_bench"
[ -x "$program" ] || { echo "no $program: build the bench preset first" >&2; exit 2; }

declare -A per_record
printf '%-44s %14s  %-34s %8s\n' operation instr/record baseline ratio
while read -r name reference; do
  out=$(mktemp)
  valgrind --tool=callgrind --callgrind-out-file=/dev/null --collect-atstart=no \
    '--toggle-collect=*countedLoop*' "$program" --count "$name" "$records" >/dev/null 2>"$out"
  collected=$(sed -n 's/.*Collected : \([0-9]*\).*/\1/p' "$out")
  rm -f "$out"
  per_record[$name]=$((collected / records))
  if [ -n "$reference" ] && [ -n "${per_record[$reference]:-}" ]; then
    ratio=$(awk -v a="${per_record[$name]}" -v b="${per_record[$reference]}" 'BEGIN { printf "%.2f", a / b }')
    printf '%-44s %14d  %-34s %8s\n' "$name" "${per_record[$name]}" "$reference" "$ratio"
  else
    printf '%-44s %14d\n' "$name" "${per_record[$name]}"
  fi
done < <("$program" --list | grep -v '^baseline check')
