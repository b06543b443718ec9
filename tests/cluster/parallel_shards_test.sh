#!/usr/bin/env bash
# GNU parallel over --shard, on this machine as a login of its own (-S :),
# gives the outputs of one run over the whole list: the same files byte for
# byte, the same JSON lines, and merge-results joins the shards' lines into
# the list's order.
# Usage: parallel_shards_test.sh [PROGRAM_DIR]  (default: build/default/program)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
program_dir="$(cd "${1:-$root/build/default/program}" && pwd)"
converter="$program_dir/tembrel-convert"
for tool in parallel sox python3; do
  command -v "$tool" >/dev/null || { echo "SKIPPED: needs $tool (scripts/deps.sh installs it)"; exit 77; }
done
scratch="$(mktemp -d /tmp/tembrel-parallel.XXXXXX)"
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
export XDG_CONFIG_HOME="$scratch/config"
mkdir -p "$XDG_CONFIG_HOME" "$scratch/sounds/sub"

# Eleven files over two folders, one of them not sound: shares of 3 and 2.
for i in 1 2 3 4 5 6 7 8 9 10; do
  folder="$scratch/sounds"; (( i > 6 )) && folder="$scratch/sounds/sub"
  sox -n -r 22050 -c 1 -b 16 "$folder/s$i.wav" synth 0.$i sine $((300 + i * 50)) 2>/dev/null
done
echo "not a sound" >"$scratch/sounds/broken.wav"
(cd "$scratch/sounds" && printf '%s\n' "$PWD"/s1.wav "$PWD"/broken.wav "$PWD"/s[2-6].wav "$PWD"/sub) >"$scratch/list"

cd "$scratch"
status=0
"$converter" --files-from list --out one --exists overwrite --json >one.jsonl 2>/dev/null || status=$?
[[ $status == 1 ]] || fail "one run: exit status $status, expected 1 (a file failed)"

mkdir work
cp list work/list
cp list work/tembrel-list
# The README's recipe, with this machine as the one login.
parallel -S : --workdir "$scratch/work" --jobs 4 \
  "$converter --files-from list --shard {}/4 --out $scratch/many --exists overwrite --json >.{}.partial 2>/dev/null;
   [ \$? -le 1 ] && mv .{}.partial tembrel-shard-{}-of-4.jsonl" ::: 1 2 3 4 || fail "a parallel job failed"
[[ -z "$(ls -A work | grep partial)" ]] || fail "partial results left"

diff -r one many >/dev/null || fail "the SWFs and pages differ: $(diff -rq one many)"
# Beside them, the pages' Ruffle folder.
outputs="$(find one -path one/tembrel-ruffle -prune -o -type f -print | wc -l)"
[[ "$outputs" == 20 ]] || fail "expected 10 SWFs and 10 pages, got $outputs"
[[ -f one/tembrel-ruffle/page.js ]] || fail "no Ruffle beside the pages"
sed "s|$scratch/many/|$scratch/one/|g" work/tembrel-shard-*-of-4.jsonl | sort >many-lines
sort one.jsonl >one-lines
cmp -s one-lines many-lines || fail "the JSON lines differ: $(diff one-lines many-lines)"

status=0
"$root/scripts/cluster/merge-results" work >report.json 2>/dev/null || status=$?
[[ $status == 1 ]] || fail "merge-results: exit status $status, expected 1 (a file failed)"
python3 - "$scratch" <<'PY' || fail "the merged report is wrong"
import json, sys
root = sys.argv[1]
r = json.load(open(f"{root}/report.json"))
# A folder is searched in name order.
names = ["s1", "broken"] + [f"s{i}" for i in range(2, 7)] + ["sub/s10", "sub/s7", "sub/s8", "sub/s9"]
assert [x["source"] for x in r["results"]] == [f"{root}/sounds/{n}.wav" for n in names], r["results"]
assert (r["tasks"], r["files"], r["converted"], r["failed"], r["missing"]) == (4, 11, 10, 1, []), r
assert [x["source"] for x in r["failures"]] == [f"{root}/sounds/broken.wav"], r["failures"]
PY
echo "PASS: parallel over 4 shards gives the outputs of one run"
