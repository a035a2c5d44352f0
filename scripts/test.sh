#!/usr/bin/env bash
# Builds the project with warnings as errors and runs every test, builds it again with
# AddressSanitizer and UndefinedBehaviorSanitizer and runs every test once more, runs the suite
# under valgrind, installs the project and builds and runs the consumer programs against the
# installed copy, and last runs every fuzz target for a bounded time (FUZZ_SECONDS each,
# default 40, so that the four targets take about five minutes with their build;
# docs/testing.md).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/bootstrap.sh
for preset in ci asan; do
  echo "== $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done

echo "== installed package and its consumers"
scripts/consumer.sh build/ci

echo "== valgrind"
scripts/valgrind.sh build/ci

echo "== fuzz (bounded)"
scripts/fuzz.sh "${FUZZ_SECONDS:-40}"
