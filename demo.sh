#!/usr/bin/env bash
# The demonstration: the whole life of an installation under Wine, in a new
# prefix of its own. Builds setup.exe for 64-bit Windows and the sample medium
# (setup.exe beside setup.inf and the sample application), puts the medium in
# a CD-ROM drive of the prefix, starts setup.exe from it without arguments
# (it restarts from its copy in the temporary folder), answers the wizard with
# each page's default button, restarts Windows (the temporary copy goes), runs
# the Uninstall entry's command, and restarts again (the uninstaller goes, the
# user's own file stays). The UI driver records every window and takes
# screenshots; each stage prints a short account of itself.
#
#   ./demo.sh [--keep]
#
#   --keep   keep the Wine environment running afterwards (to look at the
#            result: build/x86_64/demo/winerun --env wine reg query ...)
#
# Output: build/x86_64/demo/out (transcript-*.jsonl, shots/*.png).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
cd "$root"

keep=0
while [ $# -gt 0 ]; do
    case "$1" in
        --keep) keep=1; shift ;;
        -h|--help) sed -n '2,19p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "demo.sh: unknown argument $1" >&2; exit 2 ;;
    esac
done

tree=build/x86_64
demo=$root/$tree/demo
out=$demo/out

echo "== dependencies"
tools/install-deps.sh

echo "== configuring and building $tree (MinSizeRel)"
# A fresh clone has no build folder yet: the logs go there.
mkdir -p "$root/build"
cmake --preset x86_64 >"$root/build/demo-configure.log" 2>&1 || {
    cat "$root/build/demo-configure.log"; exit 1; }

build() {
    cmake --build --preset x86_64 --target "$@" >"$root/build/demo-build.log" 2>&1 || {
        tail -40 "$root/build/demo-build.log"; echo "demo.sh: building $* failed" >&2; exit 1; }
}

build setup sample_medium uidriver
medium=$root/$tree/media/sample
echo "sample medium: $medium"
ls -l "$medium" | tail -n +2 | sed 's/^/    /'

# A Wine environment of the demo's own, begun anew each time: the sample
# is installed into a fresh prefix, apart from the tests' one.
export WINERUN_STATE_DIR=$demo
winerun=$root/tools/wine/winerun.sh
mkdir -p "$demo"
cat >"$demo/winerun" <<EOF
#!/bin/sh
WINERUN_STATE_DIR="$demo" exec "$winerun" "\$@"
EOF
chmod +x "$demo/winerun"
"$winerun" --reset >/dev/null
rm -rf "$out"
mkdir -p "$out"
echo "== preparing a Wine prefix ($demo/wineprefix)"
"$winerun" --start

finish() {
    if [ $keep = 0 ]; then
        "$winerun" --stop >/dev/null
    else
        echo "Wine is still running: $demo/winerun --env ...; $demo/winerun --stop ends it"
    fi
}
trap finish EXIT

echo "== the life cycle"
set +e
SETUP_BUILD_DIR=$root/$tree SETUP_WINERUN=$demo/winerun SETUP_E2E_WORK=$out \
    timeout 900 python3 "$root/tests/e2e/lifecycle_cases.py" whole_life_cycle
status=$?
set -e
echo
echo "transcripts and screenshots: $out"
if [ $status = 0 ]; then
    echo "demo: installed, removed and cleaned up as expected"
else
    echo "demo: a stage went wrong (code $status, see above)"
fi
exit $status
