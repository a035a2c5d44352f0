#!/usr/bin/env bash
# End-to-end figures of the host: a synthetic job of N shots written by `exportgen sample`, then
# `exportgen convert` of it to each format (and `--all`, every format at once), with wall time,
# shots per second and peak resident memory (from /usr/bin/time -v). Each conversion runs RUNS
# times; the table shows the median wall time, the best CPU time (user + system: the least
# disturbed by other work on the machine) and the largest peak memory of the runs. The floor
# program (bench/floor.cpp: simdjson On-Demand and to_chars, the RW5 foresight lines only) runs
# on the same job in the same run; x_floor is each conversion's CPU time over the floor's (for a
# raw-to-raw conversion, READS below, over the JSON job's conversion to the same format, and
# x_peak its peak memory over that conversion's).
#
#   bench/end_to_end.sh [BUILD_DIR] [SIZES] [FORMATS] [RUNS]
#
#   BUILD_DIR  a build with the host program (default build/bench: cmake --preset bench &&
#              cmake --build --preset bench)
#   SIZES      shot counts (default "10000 100000 1000000")
#   FORMATS    (default "rw5 sdr vemra apasima drevan quoltpashk all")
#   RUNS       runs per conversion (default 3)
#   READS      raw-to-raw conversions SRC>DST (default "rw5>sdr sdr>rw5 quoltpashk>rw5 vemra>sdr"): the
#              job's SRC file (written first, not timed) read and written as DST; x_json is its
#              CPU time over that of converting the JSON job to DST (every DST must be in FORMATS)
#
# The job files and outputs go to $EXPORTGEN_E2E_DIR (default /tmp/exportgen-e2e; the
# 1 000 000-shot job and its outputs take a few hundred megabytes) and are removed at the end
# unless EXPORTGEN_E2E_KEEP=1.
set -euo pipefail
build=${1:-build/bench}
sizes=${2:-"10000 100000 1000000"}
formats=${3:-"rw5 sdr vemra apasima drevan quoltpashk all"}
runs=${4:-3}
reads=${5:-"rw5>sdr sdr>rw5 quoltpashk>rw5 vemra>sdr"}
program="$build/tools/exportgen/exportgen"
floor="$build/bench/exportgen_floor"
work=${EXPORTGEN_E2E_DIR:-/tmp/exportgen-e2e}

if [ ! -x /usr/bin/time ]; then
  if [ "$(id -u)" = 0 ]; then
    apt-get install -y -qq time >/dev/null || { apt-get update -qq && apt-get install -y -qq time >/dev/null; }
  else
    echo "GNU time is needed: apt-get install time" >&2
    exit 2
  fi
fi
[ -x "$program" ] || { echo "no $program: build the bench preset first" >&2; exit 2; }
[ -x "$floor" ] || { echo "no $floor: build the bench preset first" >&2; exit 2; }
mkdir -p "$work"
[ "${EXPORTGEN_E2E_KEEP:-0}" = 1 ] || trap 'rm -rf "$work"' EXIT

# Runs a command under GNU time; prints "<wall seconds> <peak kB> <user + system seconds>".
measure() {
  local log
  log=$(mktemp)
  /usr/bin/time -v "$@" 2>"$log" >/dev/null || { cat "$log" >&2; rm -f "$log"; return 1; }
  awk -F': ' '
    /Elapsed \(wall clock\)/ { n = split($2, p, ":"); s = 0; for (i = 1; i <= n; ++i) s = s * 60 + p[i]; wall = s }
    /Maximum resident set size/ { rss = $2 }
    /User time \(seconds\)|System time \(seconds\)/ { cpu += $2 }
    END { printf "%.3f %d %.3f\n", wall, rss, cpu }' "$log"
  rm -f "$log"
}

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
best() { sort -g | head -1; }

echo "machine: $(nproc) cores, $(lscpu | sed -n 's/^Model name: *//p' | head -1)"
printf '%-9s %-11s %9s %9s %9s %11s %9s %8s %10s %8s %7s\n' shots format job_MB wall_s cpu_s shots/s peak_MB peak/job out_MB x_floor x_peak
for n in $sizes; do
  job="$work/job_$n.json"
  read -r wall rss cpu < <(measure "$program" sample --shots "$n" -o "$job")
  job_bytes=$(stat -c %s "$job")
  job_mb=$(awk -v b="$job_bytes" 'BEGIN { printf "%.1f", b / 1048576 }')
  printf '%-9s %-11s %9s %9s %9s %11s %9s %8s %10s %8s %7s\n' "$n" "(sample)" "$job_mb" "$wall" "$cpu" \
    "$(awk -v n="$n" -v w="$wall" 'BEGIN { printf "%.0f", (w > 0 ? n / w : 0) }')" \
    "$(awk -v k="$rss" 'BEGIN { printf "%.1f", k / 1024 }')" "-" "$job_mb" "-" "-"
  floor_cpu=""
  declare -A json_cpu=() json_peak=()
  for format in floor $formats $reads; do
    out="$work/out_$n.$format"
    walls=()
    cpus=()
    peak=0
    for ((r = 0; r < runs; ++r)); do
      case $format in
        floor) command=("$floor" "$job" "$out") ;;
        *'>'*)
          raw="$work/raw_$n.${format%%>*}"
          [ -f "$raw" ] || "$program" convert "$job" --format "${format%%>*}" -o "$raw" --quiet --now 2025-07-04T09:05:03
          command=("$program" convert "$raw" --format "${format##*>}" -o "$out" --quiet --now 2025-07-04T09:05:03) ;;
        all) rm -rf "$out"; command=("$program" convert "$job" --all "$out" --now 2025-07-04T09:05:03) ;;
        *) command=("$program" convert "$job" --format "$format" -o "$out" --now 2025-07-04T09:05:03) ;;
      esac
      read -r wall rss cpu < <(measure "${command[@]}")
      walls+=("$wall")
      cpus+=("$cpu")
      ((rss > peak)) && peak=$rss
    done
    wall=$(printf '%s\n' "${walls[@]}" | median)
    cpu=$(printf '%s\n' "${cpus[@]}" | best)
    [ "$format" = floor ] && floor_cpu=$cpu
    json_cpu[$format]=$cpu
    json_peak[$format]=$peak
    # A raw-to-raw conversion against the JSON job's conversion to the same format.
    ratio=$floor_cpu
    peak_ratio=-
    if [[ $format == *'>'* ]]; then
      ratio=$(awk -v c="${json_cpu[${format##*>}]:-0}" -v f="$floor_cpu" 'BEGIN { print (c > 0 ? c : f) }')
      peak_ratio=$(awk -v p="$peak" -v j="${json_peak[${format##*>}]:-0}" 'BEGIN { printf (j > 0 ? "%.2f" : "-"), p / j }')
    fi
    out_mb=$(du -sb "$out" | awk '{ printf "%.1f", $1 / 1048576 }')
    awk -v n="$n" -v f="$format" -v j="$job_mb" -v w="$wall" -v c="$cpu" -v k="$peak" -v jb="$job_bytes" -v o="$out_mb" \
        -v fl="$ratio" -v xp="$peak_ratio" 'BEGIN {
      printf "%-9s %-11s %9s %9.3f %9.3f %11.0f %9.1f %8.2f %10s %8.2f %7s\n", n, f, j, w, c, (w > 0 ? n / w : 0), k / 1024, k * 1024 / jb, o, (fl > 0 ? c / fl : 0), xp }'
    rm -rf "$out"
  done
  rm -f "$job" "$work"/raw_"$n".*
done
