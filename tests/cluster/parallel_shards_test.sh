#!/usr/bin/env bash
# GNU parallel over --shard, on this machine as a login of its own (-S :),
# gives the outputs of one run over the whole list: the same files byte for
# byte, the same JSON lines (a link to a listed file skipped in whichever
# share it falls), and merge-results joins the shards' lines into the list's
# order, by the names' bytes. A resumed run counts what exists as done; a
# job cut by a timeout or without a converter leaves no partial results;
# merge-results flags results that do not add up and refuses what is not a
# run's results.
# Usage: parallel_shards_test.sh [PROGRAM_DIR]  (default: build/default/program)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
program_dir="$(cd "${1:-$root/build/default/program}" && pwd)"
converter="$program_dir/tembrel-convert"
merge="$root/scripts/cluster/merge-results"
for tool in parallel sox python3; do
  command -v "$tool" >/dev/null || { echo "SKIPPED: needs $tool (scripts/deps.sh installs it)"; exit 77; }
done
scratch="$(mktemp -d /tmp/tembrel-parallel.XXXXXX)"
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
export XDG_CONFIG_HOME="$scratch/config"
mkdir -p "$XDG_CONFIG_HOME" "$scratch/sounds/sub"

# Eleven files over two folders, one of them not sound and one whose name
# is not UTF-8, plus a link to a listed file: shares of 3 and 2 (the link,
# last, in another share than its file).
for i in 1 2 3 4 5 6 7 8 9 10; do
  folder="$scratch/sounds"; (( i > 6 )) && folder="$scratch/sounds/sub"
  sox -n -r 22050 -c 1 -b 16 "$folder/s$i.wav" synth 0.$i sine $((300 + i * 50)) 2>/dev/null
done
mv "$scratch/sounds/s6.wav" "$scratch/sounds/s6"$'\xff'".wav"
echo "not a sound" >"$scratch/sounds/broken.wav"
ln -s s2.wav "$scratch/sounds/link-to-s2.wav"
(cd "$scratch/sounds" && printf '%s\n' "$PWD"/s1.wav "$PWD"/broken.wav "$PWD"/s[2-6]*.wav "$PWD"/sub \
  "$PWD"/link-to-s2.wav) >"$scratch/list"

cd "$scratch"
status=0
"$converter" --files-from list --out one --exists overwrite --json >one.jsonl 2>/dev/null || status=$?
[[ $status == 1 ]] || fail "one run: exit status $status, expected 1 (a file failed)"

mkdir work
# The README's recipe, with this machine as the one login: the job's files
# fixed once, then one share a job.
recipe() {  # converter, output folder, exists mode, parallel's options
  parallel -S : --workdir "$scratch/work" --jobs 4 "${@:4}" \
    "r=\$($1 --files-from tembrel-files --null --shard {}/4 --out $2 --exists $3 --json 2>/dev/null);
     [ \$? -le 1 ] && { [ -z \"\$r\" ] || printf '%s\n' \"\$r\"; } >.{}.partial &&
     mv .{}.partial tembrel-shard-{}-of-4.jsonl" ::: 1 2 3 4
}
(cd work && "$converter" --files-from ../list --list-files >tembrel-files) || fail "--list-files failed"
recipe "$converter" "$scratch/many" overwrite || fail "a parallel job failed"
[[ -z "$(ls -A work | grep partial)" ]] || fail "partial results left"

diff -r one many >/dev/null || fail "the SWFs and pages differ: $(diff -rq one many)"
# Beside them, the pages' Ruffle folder.
outputs="$(find one -path one/tembrel-ruffle -prune -o -type f -print | wc -l)"
[[ "$outputs" == 20 ]] || fail "expected 10 SWFs and 10 pages, got $outputs"
[[ -f one/tembrel-ruffle/page.js ]] || fail "no Ruffle beside the pages"
sed "s|$scratch/many/|$scratch/one/|g" work/tembrel-shard-*-of-4.jsonl | sort >many-lines
sort one.jsonl >one-lines
cmp -s one-lines many-lines || fail "the JSON lines differ: $(diff one-lines many-lines)"

check_report() {  # exit status expected, then Python asserts on r (the report) and root
  local expected=$1 status=0
  "$merge" work >report.json 2>merge.err || status=$?
  [[ $status == "$expected" ]] || fail "merge-results: exit status $status, expected $expected: $(cat merge.err)"
  python3 -c "import json, sys
root = sys.argv[1]
r = json.loads(open(f'{root}/report.json', 'rb').read().decode('utf-8'))  # strict UTF-8
$2" "$scratch" || fail "the merged report is wrong: $(cat report.json)"
}
# A folder is searched in name order; the name that is not UTF-8 is shown
# with U+FFFD and still matched to its list entry by its bytes.
check_report 1 '
names = ["s1", "broken"] + [f"s{i}" for i in range(2, 6)] + ["s6\ufffd", "sub/s10", "sub/s7", "sub/s8", "sub/s9", "link-to-s2"]
assert [x["source"] for x in r["results"]] == [f"{root}/sounds/{n}.wav" for n in names], r["results"]
assert (r["tasks"], r["files"], r["converted"], r["failed"], r["duplicates"]) == (4, 12, 9, 1, 1), r
assert (r["missing"], r["repeated"], r["unlisted"]) == ([], [], []), r
# Its page cannot address it, and says so: converted with a problem.
assert [x["source"] for x in r["problems"]] == [f"{root}/sounds/s6\ufffd.wav"] and r["convertedWithProblem"] == 1, r
assert [x["source"] for x in r["failures"]] == [f"{root}/sounds/broken.wav"], r["failures"]
link = r["results"][-1]
assert link["status"] == "Skipped: listed already" and f"{root}/sounds/s2.wav" in link["reason"], link'

# Resumed with --exists skip: what exists counts as done.
rm work/tembrel-shard-*
recipe "$converter" "$scratch/many" skip || fail "a resumed parallel job failed"
check_report 1 'assert (r["files"], r["skipped"], r["converted"], r["failed"], r["duplicates"]) == (12, 10, 0, 1, 1), r'

# A job that times out, or finds no converter, leaves no partial results.
printf '#!/bin/sh\necho "{\\"source\\":\\"/x\\"}"\nexec sleep 600\n' >hangs
chmod +x hangs
rm work/tembrel-shard-*
recipe "$scratch/hangs" "$scratch/many" skip --timeout 1 2>/dev/null && fail "a job that timed out succeeded"
recipe "$scratch/no-such-converter" "$scratch/many" skip 2>/dev/null && fail "a job without a converter succeeded"
[[ -z "$(ls -A work | grep -e partial -e shard)" ]] || fail "results left: $(ls -A work)"

# Results that do not add up: one line twice, a name outside the list, a
# file converted with a problem, a file a cancelled run never started.
source="$scratch/sounds/s1.wav"
{ printf '{"source":"%s","status":"s1.swf","swf":"/o/s1.swf","reason":"the page cannot play from disk"}\n' "$source"
  printf '{"source":"%s","status":"s1.swf","swf":"/o/s1.swf","reason":""}\n' "$source"
  printf '{"source":"/elsewhere.wav","status":"x.swf","swf":"/o/x.swf","reason":""}\n'
  printf '{"source":"%s","status":"Not converted: the run was cancelled","swf":"","reason":""}\n' "$scratch/sounds/s2.wav"
} >work/tembrel-shard-1-of-1.jsonl
check_report 1 '
assert (r["convertedWithProblem"], r["converted"], r["failed"], len(r["missing"])) == (1, 2, 1, 10), r
assert r["repeated"] == [f"{root}/sounds/s1.wav"] and r["unlisted"] == ["/elsewhere.wav"], r
assert r["failures"][0]["status"] == "Not converted: the run was cancelled", r'

# What is not a run's results: a message and exit status 2, no traceback.
echo '[1, 2]' >work/tembrel-shard-1-of-1.jsonl
touch plain-file
for dir in work no-such-folder plain-file; do
  status=0
  "$merge" "$dir" >/dev/null 2>merge.err || status=$?
  [[ $status == 2 && "$(cat merge.err)" == merge-results:* && "$(cat merge.err)" != *Traceback* ]] ||
    fail "merge-results $dir: status $status, $(cat merge.err)"
done
echo "PASS: parallel over 4 shards gives the outputs of one run"
