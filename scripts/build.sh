#!/usr/bin/env bash
# Configures (once) and builds one preset: scripts/build.sh [default|asan] [programs]
# "programs" builds the programs alone: a tree configured by it leaves the
# test suite out (TEMBREL_TESTS=OFF), and a later build without it adds the
# tests to the same tree, reusing what is built.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
preset="${1:-default}"
what="${2:-all}"
cd "$root"
. "$root/scripts/compiler_cache.sh"
cache="build/$preset/CMakeCache.txt"
if [[ ! -f "build/$preset/build.ninja" ]]; then
  if [[ "$what" == programs ]]; then
    cmake --preset "$preset" -DTEMBREL_TESTS=OFF >/dev/null
  else
    cmake --preset "$preset" >/dev/null
  fi
elif [[ "$what" != programs ]] && grep -q '^TEMBREL_TESTS:BOOL=OFF$' "$cache"; then
  cmake --preset "$preset" -DTEMBREL_TESTS=ON >/dev/null
fi
cmake --build --preset "$preset"
