#!/usr/bin/env bash
# Installs what is missing (the programs' packages and the test bench's),
# builds, and runs the whole suite: the normal build first (the programs
# scripts/demo.sh built are reused; with the browser tests in Ruffle), then
# the same tests under ASan + UBSan; then every fuzz target for 30 s
# (scripts/fuzz.sh); then the Debian package, built, installed, run and
# purged.
# TEMBREL_CLUSTER_TESTS=1 also runs the Slurm array on a one-node cluster
# of its own (about half a minute).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
bash scripts/deps.sh tests
status=0
for preset in default asan; do
  echo "=== $preset ==="
  bash scripts/build.sh "$preset"
  ctest --preset "$preset" || status=1
  if [[ "$preset" == default ]]; then
    echo "=== browser (Ruffle) ==="
    bash scripts/browser_tests.sh default || status=1
    if [[ "${TEMBREL_CLUSTER_TESTS:-0}" == 1 ]]; then
      echo "=== Slurm array on a one-node cluster ==="
      bash tests/cluster/slurm_array_test.sh build/default/program || status=1
    fi
  fi
done
echo "=== fuzz ==="
bash scripts/fuzz.sh 30 || status=1
echo "=== Debian package ==="
bash scripts/package_test.sh || status=1
exit $status
