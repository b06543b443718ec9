#!/usr/bin/env bash
# Plays the built templates and SWFs in Ruffle (headless Chromium):
# scripts/browser_tests.sh [preset]. Installs the pinned npm packages when
# they are missing or older than the lock file.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
preset="${1:-default}"
cd "$root/tests/browser"
if [[ ! -f node_modules/.package-lock.json || package-lock.json -nt node_modules/.package-lock.json ]]; then
  npm ci --no-audit --no-fund
fi
export TEMBREL_PROGRAM_DIR="$root/build/$preset/program"
export TEMBREL_BUILD_DIR="$root/build/$preset"
exec node --test --test-concurrency=1 ./*.test.mjs
