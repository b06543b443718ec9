#!/usr/bin/env bash
# The Options sheet with a 400 MB picture: the longest stall of the GUI
# thread while the Width arrow is clicked five times, the time until the
# preview shows the last width, and the peak memory (bench/options_preview.cpp).
# The picture is sparse (a JPEG's first bytes, then a hole), so it takes no
# disk; each preview movie written takes its size in TMPDIR. Not part of the
# test suite.
#
#   bench/options_preview.sh [BUILD_DIR]      (SIZE_MB=400, COUNT=5, INTERVAL_MS=250)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build/default}"
driver="$build/bench/bench_options_preview"
cmake --build "$build" --target bench_options_preview >/dev/null

work="$(mktemp -d "${TMPDIR:-/tmp}/tembrel-preview-bench.XXXXXX")"
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME="$work/config" TMPDIR="$work/tmp"
mkdir -p "$XDG_CONFIG_HOME" "$TMPDIR"
printf '\xff\xd8\xff\xe0' > "$work/big.jpg"
truncate -s "${SIZE_MB:-400}M" "$work/big.jpg"

echo "cores: $(nproc); load average: $(cut -d' ' -f1-3 /proc/loadavg)"
run=("$driver" "$build/program" "$work/big.jpg" "${COUNT:-5}" "${INTERVAL_MS:-250}")
# A display of its own where Xvfb is installed, so the view draws as on a desktop.
if command -v xvfb-run >/dev/null; then
    QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" "${run[@]}"
else
    QT_QPA_PLATFORM=offscreen "${run[@]}"
fi
