#!/usr/bin/env bash
# Configures (once) and builds one preset: scripts/build.sh [default|asan]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
preset="${1:-default}"
cd "$root"
. "$root/scripts/compiler_cache.sh"
[[ -f "build/$preset/build.ninja" ]] || cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
