#!/usr/bin/env bash
# The Slurm array script and merge-results on a real one-node cluster that
# this script starts from Debian's packages (munge, slurmctld, slurmd) with
# a configuration of its own in a scratch folder, and stops again:
#  1. an array of 4 tasks over 40 generated files converts each exactly
#     once, and the merged report is complete;
#  2. with the list on a FIFO naming the folder: a task cancelled with
#     scancel while it converts leaves no temporary file and no results,
#     merge-results names what is missing, and submitting only that task
#     again completes the set with the job's files, though a file has been
#     added to the folder since (it would shift the shares).
# Usage: slurm_array_test.sh [PROGRAM_DIR]  (default: build/default/program)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
program_dir="$(cd "${1:-$root/build/default/program}" && pwd)"
sbatch_script="$root/scripts/cluster/tembrel-array.sbatch"
merge="$root/scripts/cluster/merge-results"
for tool in munged mungekey slurmctld slurmd sbatch squeue scancel sinfo sox python3; do
  command -v "$tool" >/dev/null || { echo "SKIPPED: needs $tool (scripts/deps.sh installs it)"; exit 0; }
done
[[ -x "$program_dir/tembrel-convert" ]] || { echo "no $program_dir/tembrel-convert: build first" >&2; exit 1; }

scratch="$(mktemp -d /tmp/tembrel-slurm.XXXXXX)"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$scratch"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; for log in "$scratch"/*.log; do echo "--- $log"; tail -20 "$log"; done >&2; exit 1; }
# Polls a condition for up to $1 seconds (margins for a slow, busy machine).
wait_for() {
  local seconds=$1; shift
  local deadline=$((SECONDS + seconds))
  until "$@"; do
    (( SECONDS < deadline )) || return 1
    sleep 0.2
  done
}
free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }

# --- the cluster -------------------------------------------------------------
mkdir -p "$scratch"/{munge,state,spool}
chmod 755 "$scratch/munge"
mungekey --create --keyfile="$scratch/munge/munge.key" --force >/dev/null 2>&1 ||
  dd if=/dev/urandom of="$scratch/munge/munge.key" bs=1024 count=1 status=none
chmod 400 "$scratch/munge/munge.key"
socket="$scratch/munge/munge.socket"
munged --foreground --force --key-file="$scratch/munge/munge.key" --socket="$socket" \
  --pid-file="$scratch/munge/munged.pid" --seed-file="$scratch/munge/munged.seed" \
  --log-file="$scratch/munged.log" 2>>"$scratch/munged.log" &
pids+=($!)

cat >"$scratch/slurm.conf" <<CONF
ClusterName=tembreltest
SlurmctldHost=localhost(127.0.0.1)
SlurmUser=root
SlurmdUser=root
SlurmctldPort=$(free_port)
SlurmdPort=$(free_port)
AuthType=auth/munge
AuthInfo=socket=$socket
CredType=cred/munge
StateSaveLocation=$scratch/state
SlurmdSpoolDir=$scratch/spool
SlurmctldPidFile=$scratch/slurmctld.pid
SlurmdPidFile=$scratch/slurmd.pid
SlurmctldLogFile=$scratch/slurmctld.log
SlurmdLogFile=$scratch/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
ReturnToService=2
SlurmdParameters=config_overrides
KillWait=30
MpiDefault=none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
NodeName=localhost NodeAddr=127.0.0.1 CPUs=4 State=UNKNOWN
PartitionName=test Nodes=localhost Default=YES MaxTime=INFINITE State=UP
CONF
export SLURM_CONF="$scratch/slurm.conf"
wait_for 60 test -S "$socket" || fail "munged did not start"
slurmctld -D -f "$SLURM_CONF" >>"$scratch/slurmctld.log" 2>&1 &
pids+=($!)
slurmd -D -N localhost -f "$SLURM_CONF" >>"$scratch/slurmd.log" 2>&1 &
pids+=($!)
# Gone from the queue: every task ended (this cluster keeps no accounting,
# so the results files and outputs say how they ended).
# A controller that does not answer is not an empty queue.
job_gone() {
  local out
  out="$(squeue -h -j "$1" 2>&1)" && [[ -z "$out" ]] && return 0
  [[ "$out" == *"Invalid job id"* ]]
}
node_idle() { [[ "$(sinfo -h -n localhost -o %T 2>/dev/null)" == idle ]]; }
wait_for 120 node_idle || fail "the node did not come up"
echo "cluster up after ${SECONDS}s"

# --- 40 sound files: shard 3 of 4 (files 21 to 30) long enough to be caught
# converting, the others short --------------------------------------------
sounds="$scratch/sounds"
mkdir -p "$sounds"
for i in $(seq -w 1 40); do
  seconds=2
  (( 10#$i > 20 && 10#$i <= 30 )) && seconds=60
  sox -n -r 44100 -c 2 -b 16 "$sounds/f$i.flac" synth "$seconds" sine $((200 + 10#$i * 20)) 2>/dev/null
done
export XDG_CONFIG_HOME="$scratch/config"
mkdir -p "$XDG_CONFIG_HOME"

# Every listed file converted exactly once: one line each in the report, in
# list order, and one SWF each (no renamed second copy).
check_complete() {
  local work=$1 out=$2 report
  report="$("$merge" "$work")" || fail "merge-results says the set is incomplete in $work"
  REPORT="$report" SOUNDS="$sounds" OUT="$out" python3 - <<'PY' || fail "report or outputs of $work are wrong"
import json, os
r = json.loads(os.environ["REPORT"])
sounds, out = os.environ["SOUNDS"], os.environ["OUT"]
expected = [f"{sounds}/f{i:02d}.flac" for i in range(1, 41)]
assert [x["source"] for x in r["results"]] == expected, r["results"]
assert (r["files"], r["converted"], r["failed"], r["missing"], r["missingTasks"]) == (40, 40, 0, [], []), r
swfs = sorted(n for n in os.listdir(out) if n.endswith(".swf"))
assert swfs == [f"f{i:02d}.swf" for i in range(1, 41)], swfs
assert all(x["swf"] == f"{out}/f{i + 1:02d}.swf" for i, x in enumerate(r["results"]))
PY
}
no_temporary_files() {
  local found
  found="$(find "$@" \( -name 'TBR*.tmp' -o -name '*.partial' \) -print)"
  [[ -z "$found" ]] || fail "temporary files left: $found"
}

# --- 1. the whole array, converter from PATH, a newline list ----------------
work1="$scratch/work1"
mkdir -p "$work1"
ls "$sounds"/*.flac >"$work1/list"
start=$SECONDS
job="$(cd "$work1" && PATH="$program_dir:$PATH" sbatch --parsable --array=1-4 "$sbatch_script" \
  list out --exists overwrite --no-html)"
wait_for 600 job_gone "${job%%;*}" || fail "the array did not end"
echo "array of 4 tasks over 40 files: $((SECONDS - start))s"
check_complete "$work1" "$work1/out"
no_temporary_files "$work1"

# --- 2. one task cancelled while it converts, then run again alone ----------
work2="$scratch/work2"
tmp2="$scratch/tmp2"
mkdir -p "$work2" "$tmp2"
mkfifo "$work2/list"
printf '%s\0' "$sounds" >"$work2/list" &
pids+=($!)
converter_options=(--null --exists overwrite --jobs 1)
job="$(cd "$work2" && TMPDIR="$tmp2" TEMBREL_CONVERT="$program_dir/tembrel-convert" \
  sbatch --parsable --array=1-4 "$sbatch_script" list out "${converter_options[@]}")"
job="${job%%;*}"
wait_for 300 test -e "$work2/out/f21.htm" || fail "task 3 did not start converting"
scancel "${job}_3"
wait_for 300 job_gone "$job" || fail "the array did not end"
[[ ! -e "$work2/out/f30.swf" ]] || fail "task 3 finished before it was cancelled: nothing proven"
no_temporary_files "$work2" "$tmp2"
[[ ! -e "$work2/tembrel-shard-3-of-4.jsonl" ]] || fail "a cancelled task left results that look whole"
if report="$("$merge" "$work2" 2>/dev/null)"; then fail "merge-results took the set for complete"; fi
python3 -c 'import json,sys; r=json.loads(sys.argv[1]); assert r["missingTasks"] == [3] and len(r["missing"]) == 10, r' \
  "$report" || fail "merge-results does not name the cancelled task's files"
sox -n -r 44100 -c 2 -b 16 "$sounds/f00.flac" synth 1 sine 200 2>/dev/null

job="$(cd "$work2" && TMPDIR="$tmp2" TEMBREL_CONVERT="$program_dir/tembrel-convert" TEMBREL_SHARDS=4 \
  sbatch --parsable --array=3 "$sbatch_script" list out "${converter_options[@]}")"
wait_for 600 job_gone "${job%%;*}" || fail "task 3 run again did not end"
check_complete "$work2" "$work2/out"
no_temporary_files "$work2" "$tmp2"
echo "PASS: Slurm array test in ${SECONDS}s"
