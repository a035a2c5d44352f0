#!/usr/bin/env bash
# Builds the project with warnings as errors and runs every test, builds it again with
# AddressSanitizer and UndefinedBehaviorSanitizer and runs every test once more, then installs
# it and builds and runs the consumer programs against the installed copy.
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
