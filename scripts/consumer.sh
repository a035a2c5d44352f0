#!/usr/bin/env bash
# Installs a build into a temporary prefix, then builds and runs the two consumer programs of
# tests/consumer against that installed copy. Usage: scripts/consumer.sh [BUILD-DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/ci}
prefix=$(mktemp -d)
work=$(mktemp -d)
trap 'rm -rf "$prefix" "$work"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
cmake -S tests/consumer -B "$work" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work" >/dev/null
"$work/static_consumer"
"$work/dlopen_consumer" "$prefix/lib/libExportGenerators.so"
echo "consumers: ok"
