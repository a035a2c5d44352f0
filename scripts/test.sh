#!/usr/bin/env bash
# Runs the workflow presets ci (warnings as errors) and asan (AddressSanitizer and
# UndefinedBehaviorSanitizer), each configuring, building and running every ctest test, the
# installed-package consumers included; then the workflow preset windows: the library and its
# suite cross-built with mingw-w64, the suite run under Wine. Checks that every source is
# formatted, runs the suite under valgrind, and last runs every fuzz target for a bounded time
# (FUZZ_SECONDS each, default 40, so that the four targets take about five minutes with their
# build; docs/testing.md).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/bootstrap.sh clang-format --windows
# bootstrap.sh generates a locale with a decimal comma; the locale tests must not skip here.
# Under Wine the test asks for the C runtime's German locale, which Wine has.
export EXPORTGEN_REQUIRE_COMMA_LOCALE=1
# Every LandXML file the tests write is validated against the published schema with xmllint
# (libxml2-utils, which bootstrap.sh installs: it may not be missing). The schema lies beside
# the repository, not in it: where it is there, the schema tests may not skip; a clone of the
# project alone skips them, and says so.
landxml_schema=../shared/landxml/LandXML-1.2.xsd
command -v xmllint >/dev/null || { echo "test.sh: xmllint is missing (libxml2-utils)" >&2; exit 1; }
if [ -f "$landxml_schema" ]; then
  export EXPORTGEN_REQUIRE_LANDXML_SCHEMA=1
else
  echo "test.sh: no LandXML schema at $landxml_schema: the schema validation tests skip" >&2
fi
cmake --workflow --list-presets
for preset in ci asan; do
  echo "== $preset"
  cmake --workflow --preset "$preset"
done

# Wine runs in a prefix of its own (its first start there takes about 10 s), which goes with
# this run: its server is stopped and the folder removed on any exit.
echo "== windows"
wine_prefix=$(mktemp -d "${TMPDIR:-/tmp}/exportgen-wine.XXXXXX")
stop_wine() {
  WINEPREFIX="$wine_prefix" /usr/lib/wine/wineserver -k 2>/dev/null || true
  rm -rf "$wine_prefix"
}
trap stop_wine EXIT
export WINEPREFIX="$wine_prefix" WINEDEBUG=-all
/usr/lib/wine/wine64 wineboot --init >/dev/null 2>&1 || { echo "test.sh: Wine could not set up $wine_prefix" >&2; exit 1; }
cmake --workflow --preset windows
stop_wine
trap - EXIT
unset WINEPREFIX WINEDEBUG

echo "== formatting"
cmake --build build/ci --target format-check

echo "== valgrind"
scripts/valgrind.sh build/ci

echo "== fuzz (bounded)"
scripts/fuzz.sh "${FUZZ_SECONDS:-40}"
