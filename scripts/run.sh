#!/usr/bin/env bash
# Builds the project and runs the main job: the built-in sample job converted to RW5 on the
# standard output.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/bootstrap.sh
cmake --preset default >/dev/null
cmake --build --preset default >/dev/null
build/default/tools/exportgen/exportgen convert --format rw5
