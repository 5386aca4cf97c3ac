#!/usr/bin/env bash
# The demonstration: the whole life of an installation under Wine, in a new
# prefix of its own. Builds setup.exe for 64-bit Windows and the sample medium
# (setup.exe beside setup.inf and the sample application), then plays the
# medium's life with tools/try-medium: the medium in a CD-ROM drive, setup.exe
# started from it without arguments (it restarts from its copy in the
# temporary folder), the wizard answered with each page's default button, a
# restart of Windows (the temporary copy goes), the Uninstall entry's
# command (Yes to the question about the shared library), and a restart
# again (the uninstaller goes, the user's own file stays). Each stage prints
# a short account of itself and is checked as the test e2e_whole_life_cycle
# checks it; the report of what was installed and what is left follows.
#
#   ./demo.sh [--keep]
#
#   --keep   keep the Wine environment running afterwards (to look at the
#            result: build/x86_64/demo/winerun --env wine reg query ...)
#
# Output: build/x86_64/demo/run (report.txt, transcript-*.jsonl, shots/).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
cd "$root"

keep=0
while [ $# -gt 0 ]; do
    case "$1" in
        --keep) keep=1; shift ;;
        -h|--help) sed -n '2,/^[^#]/p' "$0" | sed -n 's/^# \{0,1\}//p'; exit 0 ;;
        *) echo "demo.sh: unknown argument $1" >&2; exit 2 ;;
    esac
done

tree=build/x86_64
demo=$root/$tree/demo

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

build setup sample_medium uidriver desktop_keeper
medium=$root/$tree/media/sample
echo "sample medium: $medium"
ls -l "$medium" | tail -n +2 | sed 's/^/    /'

set +e
timeout 900 tools/try-medium "$medium" --sample --out "$demo" $([ $keep = 1 ] && echo --keep)
status=$?
set -e
echo
if [ $status = 0 ]; then
    echo "demo: installed, removed and cleaned up as expected"
else
    echo "demo: a stage went wrong (code $status, see above)"
fi
exit $status
