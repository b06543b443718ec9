#!/usr/bin/env bash
# Listing speed: `tembrel-convert --probe` over a folder of five-minute MP3s
# against the same number of five-minute WAVs (whose length is read from the
# header), in one run; then one MP3 source converted against lame decoding
# and encoding the same MP3 with the same settings. Prints the best wall time
# of REPS runs (the two folders alternate) and the ratios. Not part of the
# test suite.
#
#   bench/listing.sh [path/to/tembrel-convert]     (REPS=3, COUNT=200)
#
# The sources are mono 22050 Hz so that 200 WAVs of five minutes take about
# 2.6 GB (stereo 44100 Hz would take 10.6 GB); the MP3s are 48 kbit/s CBR
# (about 0.35 GB). Both folders live in one temporary folder, removed at exit.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
convert="${1:-$root/build/default/program/tembrel-convert}"
reps="${REPS:-3}"
count="${COUNT:-200}"
for tool in "$convert" /usr/bin/time lame ffmpeg; do
    command -v "$tool" >/dev/null || { echo "bench: $tool not found (build first; scripts/deps.sh tests installs the rest)" >&2; exit 1; }
done

work="$(mktemp -d "${TMPDIR:-/tmp}/tembrel-listing.XXXXXX")"
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME="$work/config"
mkdir -p "$XDG_CONFIG_HOME" "$work/mp3" "$work/wav" "$work/out"

ffmpeg -nostdin -v error -y -f lavfi -i "aevalsrc=0.35*sin(2*PI*220*t)+0.08*(random(0)-0.5):s=22050:d=300" \
    -c:a pcm_s16le "$work/source.wav"
lame --quiet --cbr -b 48 "$work/source.wav" "$work/source.mp3"
# Copies, not links: the list takes links to one file for the same file.
for ((i = 1; i <= count; i++)); do
    name=$(printf 'track%03d' "$i")
    cp "$work/source.mp3" "$work/mp3/$name.mp3"
    cp "$work/source.wav" "$work/wav/$name.wav"
done
echo "tembrel-convert: $convert"
echo "cores: $(nproc), best of $reps runs each; load average: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "disk used by the sources: $(du -sh "$work" | cut -f1)"

wall() {  # command... -> wall seconds of one run
    /usr/bin/time -f "%e" -o "$work/time.txt" "$@" >"$work/stdout.txt" 2>"$work/stderr.txt" ||
        { echo "bench: $* failed:" >&2; cat "$work/stderr.txt" >&2; exit 1; }
    cat "$work/time.txt"
}
min() { awk -v a="$1" -v b="$2" 'BEGIN { print (b == "" || a < b) ? a : b }'; }

best_mp3="" best_wav=""
for ((r = 0; r < reps; r++)); do
    t=$(wall "$convert" --probe "$work/mp3")
    best_mp3=$(min "$t" "$best_mp3")
    listed=$(wc -l <"$work/stdout.txt")
    t=$(wall "$convert" --probe "$work/wav")
    best_wav=$(min "$t" "$best_wav")
done
[[ $listed == "$count" ]] || { echo "bench: $listed of $count MP3s listed" >&2; exit 1; }
echo
echo "Listing $count files of 5 minutes, 22050 Hz mono (--probe)"
awk -v m="$best_mp3" -v w="$best_wav" 'BEGIN {
    printf "  %-24s %9.2f s\n  %-24s %9.2f s\n  %-24s %9.2f\n", "MP3 folder", m, "WAV folder", w, "ratio MP3 / WAV", (w > 0 ? m / w : 0) }'

# One MP3 source converted: decoded once, encoded once. lame --mp3input does
# the same two steps without the SWF.
best_tembrel="" best_lame=""
for ((r = 0; r < reps; r++)); do
    t=$(wall "$convert" --jobs 1 --no-controls --stream --no-html --rate 22050 --channels 1 --bitrate 48 \
        --exists overwrite --out "$work/out" "$work/source.mp3")
    best_tembrel=$(min "$t" "$best_tembrel")
    t=$(wall lame --quiet --mp3input --cbr -b 48 -m m --resample 22.05 "$work/source.mp3" "$work/out/lame.mp3")
    best_lame=$(min "$t" "$best_lame")
done
echo
echo "One 5-minute MP3 converted to 22050 Hz mono 48 kbit/s"
awk -v t="$best_tembrel" -v l="$best_lame" 'BEGIN {
    printf "  %-24s %9.2f s\n  %-24s %9.2f s\n  %-24s %9.2f\n", "tembrel-convert", t, "lame --mp3input", l, "ratio tembrel / lame", (l > 0 ? t / l : 0) }'
