#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole suite: the normal
# build first (with the browser tests in Ruffle), then the same tests under
# ASan + UBSan, then every fuzz target for 30 s (scripts/fuzz.sh).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
bash scripts/deps.sh
status=0
for preset in default asan; do
  echo "=== $preset ==="
  bash scripts/build.sh "$preset"
  ctest --preset "$preset" || status=1
  if [[ "$preset" == default ]]; then
    echo "=== browser (Ruffle) ==="
    bash scripts/browser_tests.sh default || status=1
  fi
done
echo "=== fuzz ==="
bash scripts/fuzz.sh 30 || status=1
exit $status
