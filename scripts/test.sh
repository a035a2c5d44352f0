#!/usr/bin/env bash
# Runs the workflow presets ci (warnings as errors) and asan (AddressSanitizer and
# UndefinedBehaviorSanitizer), each configuring, building and running every ctest test, the
# installed-package consumers included; checks that every source is formatted, runs the suite
# under valgrind, and last runs every fuzz target for a bounded time (FUZZ_SECONDS each,
# default 40, so that the four targets take about five minutes with their build;
# docs/testing.md).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/bootstrap.sh clang-format
# bootstrap.sh generates a locale with a decimal comma; the locale tests must not skip here.
export EXPORTGEN_REQUIRE_COMMA_LOCALE=1
cmake --workflow --list-presets
for preset in ci asan; do
  echo "== $preset"
  cmake --workflow --preset "$preset"
done

echo "== formatting"
cmake --build build/ci --target format-check

echo "== valgrind"
scripts/valgrind.sh build/ci

echo "== fuzz (bounded)"
scripts/fuzz.sh "${FUZZ_SECONDS:-40}"
