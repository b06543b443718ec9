#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz/, clang with ASan + UBSan, build/fuzz)
# and runs each for SECONDS (default 30): first its kept regression inputs
# (fuzz/regressions/<target>/, each must run clean), then fuzzing from its
# grown corpus (build/fuzz/corpus/<target>/) and fresh seeds. Exits 1 when
# any target crashes, hangs, leaks, reports undefined behaviour or runs out
# of memory; the input that did it is left in build/fuzz/findings/<target>/
# (emptied when the target runs again).
#   scripts/fuzz.sh [SECONDS] [TARGET...]
# Extra libFuzzer options go in FUZZ_FLAGS (e.g. -runs=10000000).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
seconds="${1:-30}"
shift || true
all_targets=(wav_reader aiff_reader au_reader mp3_stream_reader mp3_event_reader swf_template
             settings_reader page_template packet_count)
targets=("$@")
((${#targets[@]})) || targets=("${all_targets[@]}")

bash scripts/deps.sh tests
. "$root/scripts/compiler_cache.sh"
# The templates the seeds start from are drawn by the default build.
if [[ ! -d build/default/program/ControlSWF ]]; then
    [[ -f build/default/build.ninja ]] || cmake --preset default >/dev/null
    cmake --build build/default --target program_files
fi
[[ -f build/fuzz/build.ninja ]] || cmake --preset fuzz >/dev/null
cmake --build build/fuzz --target fuzz_targets

out="build/fuzz"
rm -rf "$out/seeds"
bash fuzz/make_seeds.sh "$out/seeds" build/default/program

export ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$root/tests/lsan_suppressions.txt:print_suppressions=0"
# An input a few kilobytes long that makes a reader ask for half a gigabyte
# at once, or stay on it for 25 s, is a finding.
limits=(-timeout=25 -rss_limit_mb=2048 -malloc_limit_mb=512)

status=0
passed=0
failed=0
for target in "${targets[@]}"; do
    program="$out/fuzz/fuzz_$target"
    [[ -x "$program" ]] || { echo "no fuzz target $target" >&2; exit 2; }
    regressions="fuzz/regressions/$target"
    corpus="$out/corpus/$target"
    findings="$out/findings/$target"
    log="$out/logs/$target.log"
    rm -rf "$findings"
    mkdir -p "$corpus" "$findings" "$(dirname "$log")"
    if compgen -G "$regressions/*" >/dev/null; then
        if ! "$program" "${limits[@]}" "$regressions"/* >"$log.regressions" 2>&1; then
            echo "FAIL $target: a regression input fails again (see $log.regressions)"
            status=1
            failed=$((failed + 1))
            continue
        fi
    fi
    # shellcheck disable=SC2086
    if "$program" "${limits[@]}" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$findings/" ${FUZZ_FLAGS:-} "$corpus" "$out/seeds/$target" >"$log" 2>&1; then
        summary="$(grep -E '^#[0-9]+[[:space:]]+(DONE|pulse|NEW|REDUCE|INITED)' "$log" | tail -1 || true)"
        echo "ok   $target: ${summary:-no summary}"
        passed=$((passed + 1))
    else
        echo "FAIL $target: finding in $findings (see $log)"
        grep -E 'ERROR: |SUMMARY: |runtime error' "$log" | head -5 || true
        status=1
        failed=$((failed + 1))
    fi
done
echo "fuzz: $passed passed, $failed failed"
exit $status
