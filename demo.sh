#!/usr/bin/env bash
# The demonstration: builds setup.exe for 64-bit Windows, lays out the sample
# medium (setup.exe beside setup.inf and the sample application), and runs
# setup.exe under Wine in a new prefix while the UI driver answers every page
# from a scenario, records each window and takes screenshots. Then prints
# what the program showed.
#
#   ./demo.sh [--scenario FILE] [--timeout SECONDS] [--keep]
#
#   --scenario FILE   the driver's scenario (default: press the default button
#                     of each page, then OK on the closing message)
#   --timeout S       limit for the whole run (default 120)
#   --keep            keep the Wine environment running afterwards (to look at
#                     the result: build/x86_64/demo/winerun --env wine reg query ...)
#
# Output: build/x86_64/demo/out (transcript.jsonl, screenshots *.png).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
cd "$root"

scenario=""
run_timeout=120
keep=0
while [ $# -gt 0 ]; do
    case "$1" in
        --scenario) scenario=$(cd "$(dirname "$2")" && pwd)/$(basename "$2"); shift 2 ;;
        --timeout) run_timeout=$2; shift 2 ;;
        --keep) keep=1; shift ;;
        -h|--help) sed -n '2,17p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "demo.sh: unknown argument $1" >&2; exit 2 ;;
    esac
done

tree=build/x86_64
demo=$root/$tree/demo
out=$demo/out

echo "== dependencies"
tools/install-deps.sh

echo "== configuring and building $tree (MinSizeRel)"
cmake --preset x86_64 >"$root/build/demo-configure.log" 2>&1 || {
    cat "$root/build/demo-configure.log"; exit 1; }

targets=$(cmake --build "$tree" --target help 2>/dev/null || true)
has_target() {
    printf '%s\n' "$targets" | grep -qE "^(\.\.\. )?$1( |:|\$)"
}
build() {
    cmake --build --preset x86_64 --target "$@" >"$root/build/demo-build.log" 2>&1 || {
        tail -40 "$root/build/demo-build.log"; echo "demo.sh: building $* failed" >&2; exit 1; }
}

build setup
program=$root/$tree/src/setup.exe
if has_target sample_medium; then
    build sample_medium
    program=$root/$tree/media/sample/setup.exe
    echo "sample medium: $(dirname "$program")"
    ls -l "$(dirname "$program")" | tail -n +2 | sed 's/^/    /'
else
    echo "(no sample_medium target yet: running $program without a medium)"
fi
driver=""
if has_target uidriver; then
    build uidriver
    driver=$root/$tree/tools/uidriver/uidriver.exe
fi

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

winpath() { printf 'Z:%s' "$1"; }

if [ -z "$driver" ]; then
    # HOOK: without the UI driver the program is only started, pictured
    # and ended after a while.
    echo "== UI driver not built: starting $(basename "$program") for 15 s"
    ( cd "$(dirname "$program")" && exec "$winerun" "$program" ) &
    sleep 15
    "$winerun" --screenshot "$out/screen.png"
    "$winerun" --env wineserver -k || true
    wait || true
    echo "screenshot: $out/screen.png"
    exit 0
fi

if [ -z "$scenario" ]; then
    scenario=$demo/install.scn
    cat >"$scenario" <<'EOF'
# Installation from the sample medium with every page's default button:
# start prompt, welcome page, licence (yes), setup page (begin copying),
# then the closing message.
timeout 30
expect kind=dialog
shot 1-start
key enter
expect kind=dialog
shot 2-welcome
key enter
expect kind=dialog
shot 3-licence
key enter
expect kind=dialog
shot 4-setup
key enter
expect kind=messagebox
shot 5-finished
key enter
wait-exit
EOF
fi

echo "== running $(basename "$program") under Wine with the UI driver"
echo "   scenario: $scenario"
set +e
( cd "$(dirname "$program")" &&
  timeout $((run_timeout + 60)) "$winerun" "$driver" \
    --scenario "$(winpath "$scenario")" --log "$(winpath "$out/transcript.jsonl")" \
    --shots "$(winpath "$out")" --timeout "$run_timeout" \
    -- "$(winpath "$program")" )
status=$?
set -e

echo
echo "== what setup.exe showed"
python3 - "$out/transcript.jsonl" <<'EOF'
import json, sys

def texts(w):
    out = []
    if w.get("text"):
        out.append(w["text"])
    for c in w.get("controls", []):
        t = c.get("text", "")
        if c.get("class", "").lower() == "button" or not t.strip() or t.startswith("\uffff"):
            continue
        if t not in out:
            out.append(t)
    return out

def buttons(w):
    if "buttons" in w:
        return [b["text"] for b in w["buttons"]]
    return [c["text"] for c in w.get("controls", [])
            if c.get("class", "").lower() == "button" and c.get("visible") and c.get("text")]

try:
    lines = open(sys.argv[1], encoding="utf-8").read().splitlines()
except OSError as e:
    print("no transcript:", e)
    sys.exit(0)
for line in lines:
    try:
        r = json.loads(line)
    except ValueError:
        continue
    t = "%6.1f s" % (r.get("t", 0) / 1000.0)
    ev = r.get("event")
    if ev == "process":
        print(t, "process", r.get("pid"), r.get("exe"))
    elif ev == "exit":
        print(t, "exit   ", r.get("pid"), "code", r.get("code"))
    elif ev == "show" and r.get("kind") in ("dialog", "messagebox"):
        print(t, r["kind"], "「%s」" % r.get("caption", ""))
        for s in texts(r):
            for part in s.splitlines() or [""]:
                print(" " * 10, part)
        b = buttons(r)
        if b:
            print(" " * 10, "buttons:", " ".join("[%s]" % x for x in b))
    elif ev == "show":
        print(t, "window", "「%s」" % r.get("caption", ""), r.get("class", ""))
    elif ev == "action" and r.get("op") in ("click", "key", "type", "close", "shot"):
        what = r.get("op", "")
        detail = r.get("key") or r.get("id") or r.get("name") or ""
        print(t, "  ->", what, detail)
    elif ev == "end":
        print(t, "end:", "ok" if r.get("ok") else "FAILED", r.get("message", ""))
EOF
echo
echo "transcript: $out/transcript.jsonl"
shots=$(cd "$out" && ls *.png 2>/dev/null | tr '\n' ' ')
echo "screenshots: $out/ ${shots:-(none)}"
if [ $status = 0 ]; then
    echo "demo: the scenario ran to the end"
else
    echo "demo: the driver stopped with code $status (see above)"
fi
exit $status
