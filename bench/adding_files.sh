#!/usr/bin/env bash
# Adding many files: `tembrel-convert --probe` over a folder of COUNT short
# WAVs against the desktop window adding the same folder (offscreen), as Add
# Folder does once the folder is chosen: the scan, each file probed and
# listed, the progress window updating, Cancel live. Both read the files the
# same way, so the difference is what the window costs. Prints the best of
# REPS runs each, in wall time and in processor time (user and system; on a
# busy machine the steadier of the two), and the ratios; then one add
# cancelled a second in, with the rows kept and how soon it stopped. The
# probe's times include its start; the window's are of the add alone. Not
# part of the test suite.
#
#   bench/adding_files.sh [path/to/tembrel-convert]     (REPS=3, COUNT=5000)
#
# The driver (bench/adding_files_driver.cpp) is built into the converter's
# build tree (BUILD/bench beside BUILD/program) when it is missing or out of
# date. The WAVs are 0.2 s of 8 kHz mono, about 3.2 KB each; they live in a
# temporary folder removed at exit.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
convert="${1:-$root/build/default/program/tembrel-convert}"
reps="${REPS:-3}"
count="${COUNT:-5000}"
for tool in "$convert" /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "bench: $tool not found (build first; scripts/deps.sh tests installs the rest)" >&2; exit 1; }
done
build="$(cd "$(dirname "$convert")/.." && pwd)"
driver="$build/bench/adding_files_driver"
cmake --build "$build" --target adding_files_driver >/dev/null ||
    { echo "bench: could not build adding_files_driver in $build" >&2; exit 1; }

work="$(mktemp -d "${TMPDIR:-/tmp}/tembrel-adding.XXXXXX")"
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=offscreen
mkdir -p "$XDG_CONFIG_HOME" "$work/wav"

if command -v sox >/dev/null; then
    sox -n -r 8000 -c 1 -b 16 "$work/source.wav" synth 0.2 sine 440
else
    ffmpeg -nostdin -v error -y -f lavfi -i "sine=frequency=440:sample_rate=8000:duration=0.2" \
        -c:a pcm_s16le "$work/source.wav"
fi
# Copies, not links: the list takes links to one file for the same file.
for ((i = 1; i <= count; i++)); do cp "$work/source.wav" "$(printf '%s/wav/tone%05d.wav' "$work" "$i")"; done
echo "tembrel-convert: $convert"
echo "driver: $driver"
echo "cores: $(nproc), best of $reps runs each; load average: $(cut -d' ' -f1-3 /proc/loadavg)"

min() { awk -v a="$1" -v b="$2" 'BEGIN { print (b == "" || a < b) ? a : b }'; }

best_probe="" best_window="" updates="" cpu_probe="" cpu_window=""
for ((r = 0; r < reps; r++)); do
    /usr/bin/time -f "%e %U %S" -o "$work/time.txt" "$convert" --probe "$work/wav" >"$work/probe.txt" 2>"$work/stderr.txt" ||
        { echo "bench: --probe failed:" >&2; cat "$work/stderr.txt" >&2; exit 1; }
    best_probe=$(min "$(cut -d' ' -f1 "$work/time.txt")" "$best_probe")
    cpu_probe=$(min "$(awk '{ print $2 + $3 }' "$work/time.txt")" "$cpu_probe")
    listed=$(wc -l <"$work/probe.txt")
    [[ $listed == "$count" ]] || { echo "bench: --probe listed $listed of $count" >&2; exit 1; }

    "$driver" "$work/wav" >"$work/driver.txt" 2>"$work/stderr.txt" ||
        { echo "bench: the driver failed:" >&2; cat "$work/stderr.txt" >&2; exit 1; }
    rows=$(awk '$1 == "rows" { print $2 }' "$work/driver.txt")
    [[ $rows == "$count" ]] || { echo "bench: the window listed $rows of $count" >&2; exit 1; }
    seconds=$(awk '$1 == "seconds" { print $2 }' "$work/driver.txt")
    cpu_window=$(min "$(awk '$1 == "processor" { print $3 }' "$work/driver.txt")" "$cpu_window")
    if [[ -z $best_window ]] || awk -v a="$seconds" -v b="$best_window" 'BEGIN { exit !(a < b) }'; then
        best_window=$seconds
        updates=$(awk '/^progress texts seen/ { print $4 }' "$work/driver.txt")
    fi
done
echo
echo "Adding $count WAVs of 0.2 s"
awk -v p="$best_probe" -v w="$best_window" -v cp="$cpu_probe" -v cw="$cpu_window" -v u="$updates" 'BEGIN {
    printf "  %-38s %9.2f s\n  %-38s %9.2f s\n  %-38s %9.2f\n", "tembrel-convert --probe, wall", p,
        "window add (Add Folder), wall", w, "ratio window / probe, wall", (p > 0 ? w / p : 0)
    printf "  %-38s %9.2f s\n  %-38s %9.2f s\n  %-38s %9.2f\n", "tembrel-convert --probe, processor", cp,
        "window add (Add Folder), processor", cw, "ratio window / probe, processor", (cp > 0 ? cw / cp : 0)
    printf "  %-38s %9d\n", "progress texts seen (50 ms samples)", u }'

"$driver" "$work/wav" 1 >"$work/driver.txt" 2>"$work/stderr.txt" ||
    { echo "bench: the cancelled add failed:" >&2; cat "$work/stderr.txt" >&2; exit 1; }
echo
echo "The same add, Cancel pressed 1 s in"
awk '$1 == "rows" { printf "  %-38s %9d\n", "rows kept", $2 }
     /^seconds after cancel/ { printf "  %-38s %9.3f s\n", "stopped after the Cancel", $4 }' "$work/driver.txt"
