#!/usr/bin/env bash
# Times tembrel-convert against the lame encoder and against FFmpeg's own SWF
# output on the same generated sources and settings, and --jobs 1 against
# --jobs 2 on a batch. Prints the best wall time of REPS runs, the ratio to
# tembrel-convert and the peak resident memory. Not part of the test suite.
#
#   bench/run.sh [path/to/tembrel-convert]     (REPS=3 by default)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
convert="${1:-$root/build/default/program/tembrel-convert}"
reps="${REPS:-3}"
for tool in "$convert" /usr/bin/time lame ffmpeg; do
    command -v "$tool" >/dev/null || { echo "bench: $tool not found (build first; scripts/deps.sh tests installs the rest)" >&2; exit 1; }
done

work="$(mktemp -d "${TMPDIR:-/tmp}/tembrel-bench.XXXXXX")"
trap 'rm -rf "$work"' EXIT
# The converter reads its stored settings; give it an empty store.
export XDG_CONFIG_HOME="$work/config"
mkdir -p "$XDG_CONFIG_HOME"

# A tone per channel plus a little noise, so that the encoder has real work.
make_source() {  # path rate channels seconds
    local expr="0.35*sin(2*PI*220*t)+0.08*(random(0)-0.5)"
    [[ $3 == 2 ]] && expr="$expr|0.35*sin(2*PI*330*t)+0.08*(random(1)-0.5)"
    ffmpeg -nostdin -v error -y -f lavfi -i "aevalsrc=$expr:s=$2:d=$4" -c:a pcm_s16le "$1"
}

# Best wall time (s) and the peak RSS (KiB) of that run; the command's own
# output is discarded.
measure() {  # label command...
    local label="$1" best="" rss="" i
    shift
    for ((i = 0; i < reps; i++)); do
        /usr/bin/time -f "%e %M" -o "$work/time.txt" "$@" >/dev/null 2>"$work/stderr.txt" ||
            { echo "bench: $label failed:" >&2; cat "$work/stderr.txt" >&2; exit 1; }
        read -r wall kib <"$work/time.txt"
        if [[ -z $best ]] || awk -v a="$wall" -v b="$best" 'BEGIN { exit !(a < b) }'; then
            best="$wall" rss="$kib"
        fi
    done
    results+=("$label|$best|$rss")
}

report() {  # title; the first result is the reference of the ratios
    echo
    echo "$1"
    printf '  %-34s %9s %9s %11s\n' "" "wall s" "ratio" "peak MiB"
    local reference="${results[0]#*|}"
    reference="${reference%%|*}"
    local row label wall kib
    for row in "${results[@]}"; do
        IFS='|' read -r label wall kib <<<"$row"
        awk -v l="$label" -v w="$wall" -v r="$reference" -v k="$kib" \
            'BEGIN { printf "  %-34s %9.2f %9.2f %11.1f\n", l, w, (r > 0 ? w / r : 0), k / 1024 }'
    done
    results=()
}

single_file() {  # title rate channels kbps
    local src="$work/source-$2-$3.wav" out="$work/out-$2-$3"
    make_source "$src" "$2" "$3" 300
    mkdir -p "$out"
    local mode=()
    [[ $3 == 1 ]] && mode=(-m m)
    measure "tembrel-convert (streaming SWF)" "$convert" --jobs 1 --no-controls --stream --no-html \
        --rate "$2" --channels "$3" --bitrate "$4" --exists overwrite --out "$out" "$src"
    measure "lame (MP3 only)" lame --quiet --cbr -b "$4" "${mode[@]}" --resample "$(awk -v r="$2" 'BEGIN { print r / 1000 }')" \
        "$src" "$out/lame.mp3"
    measure "ffmpeg -f swf" ffmpeg -nostdin -v error -y -i "$src" -c:a libmp3lame -b:a "${4}k" -ar "$2" -ac "$3" \
        -f swf "$out/ffmpeg.swf"
    report "$1 (5 minutes; ratio = wall time / tembrel-convert's)"
}

results=()
echo "tembrel-convert: $convert"
echo "cores: $(nproc), best of $reps runs each; load average: $(cut -d' ' -f1-3 /proc/loadavg)"
single_file "44100 Hz stereo, 128 kbit/s" 44100 2 128
single_file "22050 Hz mono, 48 kbit/s" 22050 1 48

batch="$work/batch"
mkdir -p "$batch"
for i in 1 2 3 4 5 6 7 8; do make_source "$batch/part$i.wav" 44100 2 30; done
for jobs in 1 2; do
    measure "tembrel-convert --jobs $jobs" "$convert" --jobs "$jobs" --no-controls --stream --no-html \
        --rate 44100 --channels 2 --bitrate 128 --exists overwrite --out "$work/batch-out" "$batch"
done
report "Batch of 8 files of 30 s, 44100 Hz stereo, 128 kbit/s (ratio = wall time / --jobs 1's)"

# Listing a folder without decoding it, and an MP3 source against lame.
REPS="$reps" "$root/bench/listing.sh" "$convert"

# The desktop window adding thousands of files against listing them.
REPS="$reps" "$root/bench/adding_files.sh" "$convert"
