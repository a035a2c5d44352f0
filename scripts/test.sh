#!/usr/bin/env bash
# Builds the project with warnings as errors and runs every test, builds it again with
# AddressSanitizer and UndefinedBehaviorSanitizer and runs every test once more, checks that
# every source is formatted, installs the project and builds and runs the consumer programs
# against the installed copy, runs the suite under valgrind, and last runs every fuzz target
# for a bounded time (FUZZ_SECONDS each, default 40, so that the four targets take about five
# minutes with their build; docs/testing.md).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/bootstrap.sh clang-format
# bootstrap.sh generates a locale with a decimal comma; the locale tests must not skip here.
export EXPORTGEN_REQUIRE_COMMA_LOCALE=1
for preset in ci asan; do
  echo "== $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done

echo "== formatting"
cmake --build build/ci --target format-check

echo "== installed package and its consumers"
scripts/consumer.sh build/ci

echo "== valgrind"
scripts/valgrind.sh build/ci

echo "== fuzz (bounded)"
scripts/fuzz.sh "${FUZZ_SECONDS:-40}"
