#!/usr/bin/env bash
# Installs what is missing, builds, and turns a bundled sample (a melody made
# in code) into a streaming-sound SWF. Quick when nothing changed.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
bash scripts/deps.sh
bash scripts/build.sh default
program="$root/build/default/program/demo_stream_swf"
out_dir="$root/build/default/demo"
swf="$out_dir/melody.swf"
mkdir -p "$out_dir"
# The SWF depends only on the program: make it again only when that changed.
if [[ ! -s "$swf" || "$program" -nt "$swf" ]]; then
  "$program" "$swf" 12
fi
echo
echo "Streaming-sound SWF: $swf"
echo "(MP3 it was made from: ${swf%.swf}.mp3)"
echo "ffprobe says:"
ffprobe -v error -show_entries format=format_name,duration,size:stream=codec_name,sample_rate,channels \
  -of default=noprint_wrappers=1 "$swf" | sed 's/^/  /'
