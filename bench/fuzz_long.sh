#!/usr/bin/env bash
# Long fuzzing runs: every fuzz target of build/native/tests/fuzz for a given
# number of executions, then one line per target: executions, coverage
# (edges and features), corpus size and findings. New inputs that add
# coverage are merged into the seeds under tests/fuzz/corpus/<target>, so
# the corpus grows from run to run; it only ever holds inputs that ran
# without a failure (a failing input is kept apart, in the work folder).
#
#   bench/fuzz_long.sh [--runs N] [--seconds S] [target ...]
#
# Default: 10,000,000 executions for each target; --seconds also ends each
# target's run after S seconds (for the slow targets, whose ten million take
# hours). Build the native tree first (./test.sh or cmake --build --preset
# native). Exit status 1 when a target found a failure.
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
runs=10000000
seconds_limit=0
targets=()
while [ $# -gt 0 ]; do
    case "$1" in
        --runs) runs=$2; shift ;;
        --seconds) seconds_limit=$2; shift ;;
        -h|--help) sed -n '2,14p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) targets+=("$1") ;;
    esac
    shift
done
dir=$root/build/native/tests/fuzz
if [ ${#targets[@]} = 0 ]; then
    while IFS= read -r f; do targets+=("$(basename "$f")"); done < <(
        find "$dir" -maxdepth 1 -type f -name 'fuzz_*' -perm -u+x 2>/dev/null | sort)
fi
if [ ${#targets[@]} = 0 ]; then
    echo "no fuzz targets in $dir: build the native tree first" >&2
    exit 1
fi

printf '%-20s %12s %8s %9s %7s %8s  %s\n' target executions edges features corpus seconds findings
status=0
for name in "${targets[@]}"; do
    work=$root/build/native/fuzz-long/$name
    seeds=$root/tests/fuzz/corpus/$name
    rm -rf "$work"
    mkdir -p "$work/new" "$seeds"
    t0=$SECONDS
    "$dir/$name" -runs="$runs" -max_total_time="$seconds_limit" -max_len=8192 -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$work/" "$work/new" "$seeds" >"$work/log" 2>&1
    result=$?
    seconds=$((SECONDS - t0))
    executions=$(grep -Eo 'stat::number_of_executed_units: *[0-9]+' "$work/log" | grep -Eo '[0-9]+$')
    last=$(grep -E '^#[0-9]+' "$work/log" | tail -n 1)
    edges=$(grep -Eo 'cov: [0-9]+' <<<"$last" | grep -Eo '[0-9]+')
    features=$(grep -Eo 'ft: [0-9]+' <<<"$last" | grep -Eo '[0-9]+')
    findings=none
    if [ $result != 0 ]; then
        findings="FAILED: $(ls "$work" | grep -E '^(crash|leak|timeout|oom)-' | head -3 | tr '\n' ' ')(log $work/log)"
        status=1
    else
        # Only what ran cleanly joins the seeds; merge keeps the inputs that
        # add coverage.
        "$dir/$name" -merge=1 "$seeds" "$work/new" >"$work/merge.log" 2>&1 || true
    fi
    corpus=$(find "$seeds" -type f | wc -l)
    printf '%-20s %12s %8s %9s %7s %8s  %s\n' "$name" "${executions:-?}" "${edges:-?}" "${features:-?}" \
        "$corpus" "$seconds" "$findings"
done
exit $status
