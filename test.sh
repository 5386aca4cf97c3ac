#!/usr/bin/env bash
# Builds everything and runs every test:
#   build/native  clang with ASan + UBSan: native tests and libFuzzer targets
#   build/x86_64  64-bit Windows, MinSizeRel, with the integration and
#                 end-to-end tests run under Wine (ctest, fixture "wine")
#   build/i686    32-bit Windows, MinSizeRel: built, and its imports checked
#                 (ctest)
# then the sample medium's whole life once more on an English system (code
# page 1252), each fuzz target build/native/tests/fuzz/fuzz_* for a while, the
# sample medium's whole life with the i686 setup.exe in 32-bit Wine under
# qemu-user (tests/e2e/i686_life_cycle.sh; "skipped" where binfmt_misc cannot
# be used), and prints the size benchmark. Exit status 1 when any step failed.
#
#   ./test.sh
#
# Settings from the environment:
#   FUZZ_SECONDS  how long each fuzz target runs (default 30)
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
cd "$root"

fuzz_seconds=${FUZZ_SECONDS:-30}
logs=$root/build/logs
mkdir -p "$logs"

results=()
failed=0
started=$SECONDS

# step NAME COMMAND...: runs a step, notes its outcome and time. A step
# that exits 77 could not run on this machine: "skipped", not a failure.
step() {
    local name=$1 t0=$SECONDS status code
    shift
    echo
    echo "=== $name"
    "$@"
    code=$?
    case $code in
        0) status=passed ;;
        77) status=skipped ;;
        *) status=FAILED; failed=1 ;;
    esac
    results+=("$(printf '%-28s %-7s %5d s' "$name" "$status" $((SECONDS - t0)))")
    [ $status = passed ]
}

# Quiet for the long build logs: the last lines only when it failed.
logged() {
    local log=$logs/$1
    shift
    if "$@" >"$log" 2>&1; then
        tail -n 1 "$log"
        return 0
    fi
    grep -E -A4 'error|Error|FAILED' "$log" | head -60
    echo "--- last lines of $log:"
    tail -n 30 "$log"
    return 1
}

# Keep building the other targets when one fails, so that the tests of the
# parts that do build still run (and the failure is still reported).
keep_going() {
    case "$(sed -n 's/^CMAKE_GENERATOR:INTERNAL=//p' "$root/build/$1/CMakeCache.txt" 2>/dev/null)" in
        Ninja*) echo "-k 0" ;;
        *) echo "-k" ;;
    esac
}

configure_and_build() {
    local preset=$1
    logged "$preset-configure.log" cmake --preset "$preset" || return 1
    # shellcheck disable=SC2046
    logged "$preset-build.log" cmake --build --preset "$preset" -- $(keep_going "$preset")
}

run_ctest() {
    local preset=$1
    ctest --preset "$preset" 2>&1 | tee "$logs/$preset-ctest.log"
}

run_fuzzers() {
    local dir=$root/build/native/tests/fuzz fuzzers=() f name work status=0
    if [ -d "$dir" ]; then
        while IFS= read -r f; do fuzzers+=("$f"); done < <(
            find "$dir" -maxdepth 1 -type f -name 'fuzz_*' -perm -u+x | sort)
    fi
    if [ ${#fuzzers[@]} = 0 ]; then
        echo "no fuzz targets found ($dir/fuzz_*)"
        return 1
    fi
    for f in "${fuzzers[@]}"; do
        name=$(basename "$f")
        work=$root/build/native/fuzz-runs/$name
        rm -rf "$work"
        mkdir -p "$work/inputs"
        local seeds=()
        [ -d "$root/tests/fuzz/corpus/$name" ] && seeds=("$root/tests/fuzz/corpus/$name")
        # New inputs go to a scratch folder first; the seeds stay unchanged.
        # The hostile seeds run to 180 KB, and libFuzzer would otherwise make
        # every mutation as long: the timed runs mutate the first 8 KB, and
        # the *_seeds tests read every seed whole.
        if "$f" -max_total_time="$fuzz_seconds" -max_len=8192 -timeout=10 -rss_limit_mb=2048 \
                -print_final_stats=1 -artifact_prefix="$work/" \
                "$work/inputs" "${seeds[@]}" >"$work/log" 2>&1; then
            echo "$name: $(grep -Eo 'stat::number_of_executed_units: *[0-9]+' "$work/log" |
                grep -Eo '[0-9]+$') runs in ${fuzz_seconds} s, no failure"
        else
            echo "$name: FAILED (log $work/log, inputs that failed: $work/crash-*, leak-*, timeout-*)"
            grep -E -A25 '==ERROR|runtime error|SUMMARY' "$work/log" | head -60
            status=1
        fi
    done
    return $status
}

# The demonstration's whole life once more on an English Windows (code page
# 1252), in a Wine prefix of its own (build/x86_64/english), its texts
# compared with the same run's on the Japanese system: the transcripts of
# e2e_whole_life_cycle, run here first when ctest has not run it on this
# setup.exe.
english_life_cycle() (
    local tree=$root/build/x86_64 state=$root/build/x86_64/english status
    local japanese=$tree/tests/e2e/work/whole_life_cycle
    [ -f "$tree/src/setup.exe" ] || { echo "build the x86_64 tree first"; return 1; }
    if [ ! "$japanese/transcript-uninstall.jsonl" -nt "$tree/src/setup.exe" ]; then
        logged english-reference.log ctest --preset x86_64 -R '^e2e_whole_life_cycle$' || return 1
        "$tree/winerun" --stop >/dev/null 2>&1
    fi
    export WINERUN_STATE_DIR=$state WINERUN_LANG=C.UTF-8 WINERUN_KEEPER=$tree/tools/wine/desktop_keeper.exe
    tools/wine/winerun.sh --reset >/dev/null
    tools/wine/winerun.sh --start || return 1
    SETUP_BUILD_DIR=$tree SETUP_WINERUN=$root/tools/wine/winerun.sh SETUP_E2E_WORK=$state/out \
        SETUP_E2E_SAME_AS=$japanese timeout 900 python3 tests/e2e/lifecycle_cases.py whole_life_cycle
    status=$?
    tools/wine/winerun.sh --stop >/dev/null
    echo "transcripts and screenshots: $state/out"
    return $status
)

step "dependencies" tools/install-deps.sh

native_ok=0
step "native: configure + build" configure_and_build native && native_ok=1
x64_ok=0
step "x86_64: configure + build" configure_and_build x86_64 && x64_ok=1
step "i686: configure + build" configure_and_build i686

# Tests run also after a partial build: what was built is tested, and a
# test whose program is missing fails.
if [ -f build/native/CTestTestfile.cmake ]; then
    step "native: ctest" run_ctest native
else
    results+=("$(printf '%-28s %-7s' "native: ctest" "FAILED")  (not configured)"); failed=1
fi
if [ -f build/x86_64/CTestTestfile.cmake ]; then
    step "x86_64: ctest (Wine)" run_ctest x86_64
    # wine_stop ends the Wine session; this also covers an interrupted ctest.
    [ -x build/x86_64/winerun ] && build/x86_64/winerun --stop >/dev/null 2>&1
else
    results+=("$(printf '%-28s %-7s' "x86_64: ctest (Wine)" "FAILED")  (not configured)"); failed=1
fi
step "x86_64: life cycle (English)" english_life_cycle
# The i686 tree has no tests under Wine, only the check of its imports.
if [ -f build/i686/CTestTestfile.cmake ]; then
    step "i686: ctest (imports)" run_ctest i686
else
    results+=("$(printf '%-28s %-7s' "i686: ctest (imports)" "FAILED")  (not configured)"); failed=1
fi
step "fuzz (${fuzz_seconds} s each)" run_fuzzers
# Last, as the slowest: 32-bit Wine runs under emulation (skipped where it cannot).
step "i686: life cycle (qemu)" tests/e2e/i686_life_cycle.sh

# Figures only: never a failure.
echo
echo "=== size benchmark"
bench/size.sh || true

echo
echo "=== summary"
for r in "${results[@]}"; do echo "  $r"; done
echo "  total $((SECONDS - started)) s; logs in $logs"
[ $native_ok = 1 ] && [ $x64_ok = 1 ] || echo "  (a build failed: see the logs above)"
if [ $failed = 0 ]; then
    echo "ALL PASSED"
    exit 0
fi
echo "SOME STEPS FAILED"
exit 1
