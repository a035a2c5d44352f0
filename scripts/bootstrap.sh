#!/usr/bin/env bash
# Installs the Debian packages the build and its tests need when they are missing (only as
# root; otherwise it names what is missing and goes on, so a developer can install it
# themselves). rsvg-convert (librsvg2-bin) and xmllint (libxml2-utils) check the plans that
# `exportgen plot` draws.
# Arguments name more packages; `--windows` stands for those of the Windows cross-build:
# mingw-w64's compiler with posix threads, Wine to run its tests, GoogleTest's sources.
set -euo pipefail

packages=(cmake ninja-build g++ libgtest-dev libgmock-dev libbenchmark-dev nlohmann-json3-dev libcli11-dev libsimdjson-dev libexpat1-dev locales
  librsvg2-bin libxml2-utils)
windows_packages=(g++-mingw-w64-x86-64-posix wine64 googletest)
for arg in "$@"; do
  if [ "$arg" = --windows ]; then
    packages+=("${windows_packages[@]}")
  else
    packages+=("$arg")
  fi
done
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -eq 0 ]; then
    echo "bootstrap: installing ${missing[*]}" >&2
    export DEBIAN_FRONTEND=noninteractive
    apt-get install -y --no-install-recommends "${missing[@]}" >/dev/null \
      || { apt-get update >/dev/null && apt-get install -y --no-install-recommends "${missing[@]}" >/dev/null; }
  else
    echo "bootstrap: missing packages (install them as root): ${missing[*]}" >&2
  fi
fi

# A locale whose decimal separator is a comma, for the test that numbers ignore the locale.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  if [ "$(id -u)" -eq 0 ] && command -v localedef >/dev/null; then
    localedef -i de_DE -f UTF-8 de_DE.UTF-8 2>/dev/null || echo "bootstrap: could not generate de_DE.UTF-8" >&2
  fi
fi
