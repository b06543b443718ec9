#!/usr/bin/env bash
# Builds the Debian package and proves it on this machine: lintian finds no
# error (and no warning but the known ones), the AppStream metadata and the
# desktop entry validate, the manual pages hold every option of --help, and
# the completion offers them. Then installs it (dpkg -i, apt-get -f
# install), converts a sound with /usr/bin/tembrel-convert, shows and closes
# /usr/bin/tembrel's window on an X server of its own, and purges it:
# nothing of it may be left but the user's settings.
# Needs root (it installs a package); an installed tembrel is replaced and
# purged too.
#   scripts/package_test.sh [DEB]   (default: build it with scripts/package.sh)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
if [[ $(id -u) != 0 ]]; then echo "SKIPPED: installs a package, so needs root"; exit 0; fi
deb="${1:-}"
[[ -n "$deb" ]] || deb="$(bash "$root/scripts/package.sh" | tail -1)"
deb="$(realpath "$deb")"
version="$(dpkg-deb -f "$deb" Version)"
expected_name="tembrel_${version}_amd64.deb"
scratch="$(mktemp -d /tmp/tembrel-package.XXXXXX)"
xvfb_pid=""
installed=0
cleanup() {
  [[ -z "$xvfb_pid" ]] || { kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; } || true
  if (( installed )); then dpkg --purge tembrel >/dev/null 2>&1 || true; fi
  rm -rf "$scratch"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
step() { echo "--- $*"; }
wait_for() {  # seconds, command...: polls, for a slow and busy machine
  local deadline=$((SECONDS + $1)); shift
  until "$@"; do (( SECONDS < deadline )) || return 1; sleep 0.2; done
}
[[ "$(basename "$deb")" == "$expected_name" ]] || fail "package named $(basename "$deb"), not $expected_name"

step "lintian"
# Kept on purpose: the HTML page template written beside each SWF is meant
# for the web and loads Ruffle from its CDN (the desktop program's own view
# uses the copy in /usr/lib/tembrel/ruffle).
known_warnings='^W: tembrel: privacy-breach-generic .*https://unpkg.com/@ruffle-rs/ruffle.*\[usr/lib/tembrel/Template.htm\]$'
report="$(lintian --tag-display-limit 0 "$deb" 2>&1 | grep -v 'running with root privileges' || true)"
[[ -z "$report" ]] || echo "$report"
! grep -q '^E: ' <<<"$report" || fail "lintian reports errors"
unknown="$(grep '^W: ' <<<"$report" | grep -Ev "$known_warnings" || true)"
[[ -z "$unknown" ]] || fail "lintian warnings no one has looked at: $unknown"

step "metadata, desktop entry, manual pages"
mkdir "$scratch/contents"
dpkg-deb -x "$deb" "$scratch/contents"
c="$scratch/contents"
appstreamcli validate --no-net "$c/usr/share/metainfo/org.tembrel.Tembrel.metainfo.xml" || fail "AppStream metadata"
desktop-file-validate "$c/usr/share/applications/tembrel.desktop" || fail "desktop entry"
for size in 48x48 128x128 256x256 scalable; do
  ls "$c/usr/share/icons/hicolor/$size/apps/tembrel."* >/dev/null || fail "no $size icon"
done
[[ -d "$c/usr/lib/tembrel/ruffle" && -n "$(ls "$c/usr/lib/tembrel/ruffle"/*.wasm)" ]] || fail "Ruffle is not inside"
# Every option of each program's --help is in its manual page.
for program in tembrel tembrel-convert; do
  page="$(MANWIDTH=200 man -l "$c/usr/share/man/man1/$program.1.gz" 2>/dev/null | col -b)"
  help="$("$c/usr/lib/tembrel/$program" --help)"
  for option in $(grep -oE -- '--[a-z][a-z-]*' <<<"$help" | sort -u); do
    grep -qF -- "$option" <<<"$page" || fail "$program(1) lacks $option of --help"
  done
done

step "install"
dpkg -i "$deb" || true
installed=1
DEBIAN_FRONTEND=noninteractive apt-get -f install -y -qq || fail "apt-get -f install"
[[ "$(dpkg-query -W -f='${Status} ${Version}' tembrel)" == "install ok installed $version" ]] || fail "not installed"
dpkg -L tembrel | sort >"$scratch/files"
for path in /usr/bin/tembrel /usr/bin/tembrel-convert /usr/lib/tembrel/tembrel /usr/lib/tembrel/ruffle \
  /usr/share/man/man1/tembrel.1.gz /usr/share/man/man1/tembrel-convert.1.gz \
  /usr/share/bash-completion/completions/tembrel-convert /usr/share/metainfo/org.tembrel.Tembrel.metainfo.xml; do
  [[ -e "$path" ]] || fail "$path not installed"
done

step "tembrel-convert from /usr/bin"
# The package's version is the program's: 3.0.968 is "v3.0 build 968".
IFS=. read -r major minor build <<<"$version"
[[ "$(/usr/bin/tembrel-convert --version)" == "tembrel-convert (Tembrel v$major.$minor build $build)" ]] ||
  fail "tembrel-convert --version says $(/usr/bin/tembrel-convert --version), the package $version"
export HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/home/.config"
mkdir -p "$XDG_CONFIG_HOME/Tembrel" "$scratch/work"
# The user's settings, past the first run (its help window would cover the
# main window).
printf '[General]\nFirstRun=0\n' >"$XDG_CONFIG_HOME/Tembrel/Options.conf"
sox -n -r 44100 -c 2 -b 16 "$scratch/work/tone.wav" synth 1 sine 440 2>/dev/null
(cd "$scratch/work" && env -u DISPLAY -u WAYLAND_DISPLAY /usr/bin/tembrel-convert --json tone.wav >convert.json) ||
  fail "conversion failed: $(cat "$scratch/work/convert.json")"
ffprobe -v error -show_entries stream=codec_name -of csv=p=0 "$scratch/work/tone.swf" | grep -q mp3 ||
  fail "tone.swf holds no MP3 sound"
[[ -s "$scratch/work/tone.htm" ]] || fail "no page beside the SWF"
# The run's lines as the one share of a run over many machines.
mkdir "$scratch/run"
cp "$scratch/work/convert.json" "$scratch/run/tembrel-shard-1-of-1.jsonl"
/usr/lib/tembrel/cluster/merge-results "$scratch/run" | grep -q '"converted": 1,' || fail "merge-results"
[[ -x /usr/lib/tembrel/cluster/tembrel-array.sbatch ]] || fail "no Slurm array script"

step "completion"
completion="$(bash -c 'source /usr/share/bash-completion/bash_completion
  source /usr/share/bash-completion/completions/tembrel-convert
  for cur in --sha --no-h --files; do
    COMP_WORDS=(tembrel-convert "$cur"); COMP_CWORD=1; COMP_LINE="tembrel-convert $cur"; COMP_POINT=${#COMP_LINE}
    _tembrel_convert tembrel-convert "$cur" tembrel-convert; echo "${COMPREPLY[*]}"
  done')"
[[ "$completion" == $'--shard\n--no-html\n--files-from' ]] || fail "completion offers: $completion"

step "tembrel on Xvfb"
exec {display_fd}<> <(:)
Xvfb -displayfd "$display_fd" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
read -r -t 60 -u "$display_fd" number || fail "Xvfb did not start"
export DISPLAY=":$number" QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY
/usr/bin/tembrel >"$scratch/tembrel.log" 2>&1 &
tembrel_pid=$!
window_shown() { window="$(xdotool search --onlyvisible --name '^Tembrel$' 2>/dev/null | head -1)"; [[ -n "$window" ]]; }
wait_for 120 window_shown || fail "no Tembrel window: $(cat "$scratch/tembrel.log")"
# The Close caption button, as a user clicks it.
xdotool mousemove --window "$window" 676 21 click 1
gone() { ! kill -0 "$tembrel_pid" 2>/dev/null; }
wait_for 60 gone || { kill "$tembrel_pid"; fail "tembrel did not end after Close"; }
wait "$tembrel_pid" || fail "tembrel ended with status $?: $(cat "$scratch/tembrel.log")"

step "purge"
dpkg --purge tembrel >/dev/null || fail "purge"
installed=0
[[ -z "$(dpkg-query -W -f='${Status}' tembrel 2>/dev/null | grep -v not-installed)" ]] || fail "still known to dpkg"
while read -r path; do
  [[ -d "$path" && ! -L "$path" ]] && continue  # shared folders (/usr/share/man, ...)
  [[ ! -e "$path" && ! -L "$path" ]] || fail "$path left after purge"
done <"$scratch/files"
for folder in /usr/lib/tembrel /usr/share/doc/tembrel /etc/tembrel; do
  [[ ! -e "$folder" ]] || fail "$folder left after purge"
done
grep -q FirstRun=0 "$XDG_CONFIG_HOME/Tembrel/Options.conf" || fail "the user's settings went with the package"
echo "PASS: package $(basename "$deb") built, checked, installed, run and purged"
