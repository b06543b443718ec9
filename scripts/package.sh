#!/usr/bin/env bash
# Builds the Debian package tembrel_<version>_amd64.deb from a clean build
# of this tree (build/package, made afresh each time; ccache makes that
# quick), with CPack's DEB generator. Prints the package's path last.
#   bash scripts/package.sh && apt-get install ./build/package/tembrel_*_amd64.deb
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build/package"
cd "$root"
. "$root/scripts/compiler_cache.sh"
bash scripts/deps.sh tests
rm -rf "$build"
# The default preset's flags (so its compiled objects are reused), no tests;
# the binaries are stripped on their way into the package.
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTEMBREL_TESTS=OFF >/dev/null
cmake --build "$build"
(cd "$build" && cpack -G DEB -B "$build" >/dev/null)
rm -rf "$build/_CPack_Packages"
deb="$(ls "$build"/tembrel_*_amd64.deb)"
echo "$deb"
