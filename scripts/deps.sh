#!/usr/bin/env bash
# Installs the Debian packages the programs need (scripts/packages.txt) and,
# with "tests", those of the test bench too (scripts/packages-tests.txt):
#   scripts/deps.sh [tests]
# Does nothing (and asks no registry) when all of them are already there.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
lists=("$here/packages.txt")
case "${1:-}" in
  "") ;;
  tests) lists+=("$here/packages-tests.txt") ;;
  *) echo "usage: scripts/deps.sh [tests]" >&2; exit 2 ;;
esac
mapfile -t wanted < <(cat "${lists[@]}" | grep -v '^\s*#' | sed 's/\s.*//' | grep -v '^$')
missing=()
for p in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
