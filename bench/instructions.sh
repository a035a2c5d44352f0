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
set -euo pipefail
build=${1:-build/bench}
records=${2:-20000}
program="$build/bench/exportgen_bench"
command -v valgrind >/dev/null || { echo "valgrind is needed (apt-get install valgrind)" >&2; exit 2; }
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
