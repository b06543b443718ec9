#!/usr/bin/env bash
# Writes a small seed corpus for every fuzz target into OUT/<target>/, with
# the same independent tools the reader tests make their fixtures with (sox,
# ffmpeg, sndfile-convert, lame) and the templates the default build draws
# (PROGRAM: its program folder). A writer that is missing or refuses a case
# only leaves that seed out.
#   fuzz/make_seeds.sh OUT PROGRAM
set -uo pipefail
out="$1"
program="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"

try() { "$@" >/dev/null 2>&1 || true; }

# Short sources: a tenth of a second, mono and stereo.
try sox -n -r 22050 -c 1 -b 16 "$work/mono.wav" synth 0.1 sine 440
try sox -n -r 22050 -c 2 -b 16 "$work/stereo.wav" synth 0.1 sine 440 sine 660
try sox -n -r 8000 -c 1 -b 16 "$work/mono8k.wav" synth 0.1 sine 440
try sox -n -r 44100 -c 3 -b 24 "$work/three.wav" synth 0.05 sine 440 sine 550 sine 660

seed() {  # seed TARGET NAME COMMAND... ({in} and {out} replaced)
    local target="$1" name="$2"
    shift 2
    mkdir -p "$out/$target"
    local args=() a
    for a in "$@"; do
        a="${a//\{out\}/$work/$name}"
        args+=("$a")
    done
    if "${args[@]}" >/dev/null 2>&1 && [[ -s "$work/$name" ]]; then
        mv "$work/$name" "$out/$target/$name"
    fi
}

m="$work/mono.wav" s="$work/stereo.wav" n="$work/mono8k.wav"
# WAV: every coding the reader takes.
seed wav_reader pcm16.wav cp "$s" {out}
seed wav_reader u8.wav sox "$m" -e unsigned -b 8 {out}
seed wav_reader s24.wav sox "$s" -b 24 {out}
seed wav_reader s32.wav sox "$m" -b 32 {out}
seed wav_reader f32.wav sox "$m" -e floating-point -b 32 {out}
seed wav_reader f64.wav sox "$s" -e floating-point -b 64 {out}
seed wav_reader alaw.wav sox "$m" -e a-law {out}
seed wav_reader ulaw.wav sox "$s" -e mu-law {out}
seed wav_reader msadpcm.wav sox "$s" -e ms-adpcm {out}
seed wav_reader imaadpcm.wav sox "$m" -e ima-adpcm {out}
seed wav_reader ima-ffmpeg.wav ffmpeg -v error -y -i "$s" -c:a adpcm_ima_wav {out}
seed wav_reader gsm.wav sox "$n" -e gsm-full-rate {out}
seed wav_reader extensible.wav cp "$work/three.wav" {out}
# AIFF and AIFC.
seed aiff_reader s16.aiff sox "$s" -t aiff {out}
seed aiff_reader s8.aiff sox "$m" -t aiff -b 8 {out}
seed aiff_reader s24.aiff sox "$m" -t aiff -b 24 {out}
seed aiff_reader s32.aif sndfile-convert -pcm32 "$m" {out}
seed aiff_reader sowt.aifc ffmpeg -v error -y -i "$s" -c:a pcm_s16le -f aiff {out}
seed aiff_reader f32.aifc ffmpeg -v error -y -i "$m" -c:a pcm_f32be -f aiff {out}
seed aiff_reader f64.aifc ffmpeg -v error -y -i "$m" -c:a pcm_f64be -f aiff {out}
seed aiff_reader ulaw.aifc ffmpeg -v error -y -i "$s" -c:a pcm_mulaw -f aiff {out}
seed aiff_reader alaw.aifc ffmpeg -v error -y -i "$m" -c:a pcm_alaw -f aiff {out}
seed aiff_reader ima4.aifc ffmpeg -v error -y -i "$s" -c:a adpcm_ima_qt -f aiff {out}
seed aiff_reader six.aiff sox -n -r 8000 -c 6 -b 16 -t aiff {out} synth 0.05 sine 440
seed aiff_reader dwvw12.aif sndfile-convert -dwvw12 "$m" {out}
seed aiff_reader dwvw16.aif sndfile-convert -dwvw16 "$s" {out}
seed aiff_reader dwvw24.aif sndfile-convert -dwvw24 "$m" {out}
seed aiff_reader raw8.aif sndfile-convert -pcmu8 "$m" {out}
seed aiff_reader gsm.aifc ffmpeg -v error -y -i "$n" -c:a libgsm -f aiff {out}
# AU: both byte orders, PCM, float, the logarithmic codings and G.72x.
seed au_reader s16.au sox "$s" {out}
seed au_reader s8.au sox "$m" -e signed -b 8 {out}
seed au_reader s24.au ffmpeg -v error -y -i "$s" -c:a pcm_s24be -f au {out}
seed au_reader s32.au sndfile-convert -pcm32 "$m" {out}
seed au_reader le16.au sndfile-convert -pcm16 -endian=little "$m" {out}
seed au_reader f32.au sndfile-convert -float32 "$m" {out}
seed au_reader f64le.au sndfile-convert -float64 -endian=little "$s" {out}
seed au_reader ulaw.au sox "$m" -e mu-law {out}
seed au_reader alaw.au ffmpeg -v error -y -i "$s" -c:a pcm_alaw -f au {out}
seed au_reader g721.au ffmpeg -v error -y -i "$n" -c:a g726le -b:a 32k -f au {out}
seed au_reader g723-24.au ffmpeg -v error -y -i "$n" -c:a g726le -b:a 24k -f au {out}
seed au_reader g723-40.au ffmpeg -v error -y -i "$n" -c:a g726le -b:a 40k -f au {out}
# MP3 at the three rates SWF carries, as the conversion writes them.
for target in mp3_stream_reader mp3_event_reader; do
    seed $target 44100-stereo.mp3 lame --silent -t -b 128 --resample 44.1 "$s" {out}
    seed $target 22050-mono.mp3 lame --silent -t -m m -b 48 "$m" {out}
    seed $target 11025-mono.mp3 lame --silent -t -m m -b 16 --resample 11.025 "$m" {out}
    seed $target 22050-vbr.mp3 lame --silent -t -V 5 "$s" {out}
done
# Player templates, as built for the program folder.
mkdir -p "$out/swf_template"
for f in "$program"/ControlSWF/*.swf "$program"/ControlSWF/ShellPlayer/*.swf "$program"/empty.swf; do
    [[ -f "$f" ]] && cp "$f" "$out/swf_template/"
done
# Page templates: the program's own and one with every placeholder.
mkdir -p "$out/page_template"
[[ -f "$program/Template.htm" ]] && cp "$program/Template.htm" "$out/page_template/"
printf '<html><title>%%T%%</title><body bgcolor="%%BKG%%">%%W%%x%%H%% <embed src="%%SWF%%">%%SWFNAME%%</body></html>\r\n' \
    > "$out/page_template/all.htm"
# Options files: the program's own tagged values and values typed by hand.
mkdir -p "$out/settings_reader"
cat > "$out/settings_reader/tagged.conf" <<'CONF'
[General]
SWFFrameRate=dword:0000000c
SWFBkgColor=dword:00ffffff
SWFSoundType=dword:00000001
CreateCtrlSWF=dword:00000001
ControlSWF=sz:/opt/tembrel/ControlSWF/track_bar.swf
Folder=sz:/home/someone/Music
JPEGFile=sz:/home/someone/picture.jpg
JPEGWidth=dword:00000140
JPEGHeight=dword:000000f0
GC=hex:cdcccc3e0000803f9a99993ecdcc4c3f
TBC=hex:0000803f
VolumeCoef=dword:00000064
CONF
cat > "$out/settings_reader/by-hand.conf" <<'CONF'
[General]
SWFFrameRate=24
SkipFirstMs=-100
SkipLastMs=250
TargetExistsOpt=2
SWFSpecifiedFolder=/tmp/out folder
TrackSWFBkgTopColor=0xff00ff
ButtonSWFType="1"
CONF
# Sound files the decoding library counts from their packets.
seed packet_count a.mp3 lame --silent -b 64 "$s" {out}
seed packet_count a.mp2 ffmpeg -v error -y -i "$s" -c:a mp2 {out}
seed packet_count a.m4a ffmpeg -v error -y -i "$s" -c:a aac -b:a 32k {out}
seed packet_count a.aac ffmpeg -v error -y -i "$m" -c:a aac -b:a 32k -f adts {out}
seed packet_count a.ogg ffmpeg -v error -y -i "$s" -c:a libvorbis -q:a 0 {out}
seed packet_count a.opus ffmpeg -v error -y -i "$m" -c:a libopus -b:a 16k {out}
seed packet_count a.ac3 ffmpeg -v error -y -i "$s" -c:a ac3 -b:a 96k {out}
seed packet_count a.mka ffmpeg -v error -y -i "$m" -c:a libopus -b:a 16k -f matroska {out}
seed packet_count a.wma ffmpeg -v error -y -i "$m" -c:a wmav2 -b:a 32k -f asf {out}
