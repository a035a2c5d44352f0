#!/usr/bin/env bash
# Memory checks without a sanitizer: the whole test suite (every generator across the golden
# jobs, the hostile-input tests and the stored fuzz inputs), the host's test suites and, when the
# host program is built, `exportgen convert` of the sample job in all six formats, each under
# valgrind memcheck. Any
# invalid read or write, use of an uninitialised value or definite or indirect leak fails the
# run (exit 1). Uses the ci build (optimised, with debug information).
#
# Usage: scripts/valgrind.sh [BUILD-DIR]   (default build/ci, configured and built when missing)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/bootstrap.sh valgrind

build=${1:-build/ci}
if [ "$build" = build/ci ]; then
  cmake --preset ci >/dev/null
  cmake --build --preset ci
fi

memcheck=(valgrind --quiet --error-exitcode=1 --suppressions=tests/hardening/valgrind.supp
          --leak-check=full --show-leak-kinds=definite,indirect
          --errors-for-leak-kinds=definite,indirect --track-origins=yes)

# The library's suite (the shared-library test loads the library with dlopen; everything else
# runs in the one process), then the host's suites when the host is built.
for suite in exportgen_tests exportgen_host_tests exportgen_hardening_host_tests; do
  binary=$build/tests/$suite
  [ -x "$binary" ] || binary=$build/tests/host/$suite
  [ -x "$binary" ] || continue
  echo "== valgrind: $suite"
  "${memcheck[@]}" "$binary" --gtest_brief=1

done

exportgen=$build/tools/exportgen/exportgen
if [ -x "$exportgen" ]; then
  out=$(mktemp -d)
  trap 'rm -rf "$out"' EXIT
  for format in vemra apasima drevan quoltpashk rw5 sdr; do
    echo "== valgrind: exportgen convert --format $format"
    "${memcheck[@]}" "$exportgen" convert --format "$format" -o "$out/sample.$format"
    test -s "$out/sample.$format"
  done
fi
echo "valgrind: clean"
