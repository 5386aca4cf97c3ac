#!/usr/bin/env bash
# winerun: runs Windows programs, or host commands that talk to Wine, in the
# Wine environment of one build tree: its own prefix, a Japanese locale (or
# another, WINERUN_LANG), the IPA fonts in place of the Windows ones, and an X
# display (an Xvfb of its own when there is none).
#
#   winerun program.exe [args...]    run the program under wine; exit code is the program's
#   winerun --env command [args...]  run a host command in the environment
#                                    (wine reg query ..., winepath ...); not
#                                    `wineserver -w`, which never returns while the
#                                    desktop keeper runs: --stop ends the session
#   winerun --print-env              print export lines:  eval "$(winerun --print-env)"
#   winerun --start                  bring everything up with a persistent wineserver
#                                    and a desktop that stays open (WINERUN_KEEPER)
#   winerun --stop                   stop the wineserver and the Xvfb that this runner started
#   winerun --reset                  --stop, then delete the prefix (made anew on next use)
#   winerun --screenshot file.png    picture of the whole screen
#   winerun --windows                list the top-level X windows (with Wine's virtual
#                                    desktop: the desktop itself)
#   winerun --check                  check the environment: code page 932, Japanese font
#                                    replacements, IPA fonts, display
#
# Anything that is not up yet (prefix, display) is brought up on first use, so
# the runner works by hand as well as from ctest (as CMAKE_CROSSCOMPILING_EMULATOR).
#
# Settings from the environment:
#   WINERUN_STATE_DIR  folder that holds the prefix and the run state
#                      (the configured build/<arch>/winerun sets it to its build tree)
#   WINERUN_GEOMETRY   screen of a new Xvfb (default 1024x768x24)
#   WINERUN_WINEDEBUG  WINEDEBUG for the programs (default -all)
#   WINERUN_KEEPER     the desktop keeper program (tools/wine/desktop_keeper.cpp;
#                      the configured runner names the build tree's)
#   WINERUN_LANG       the Unix locale, which sets Windows' language and code
#                      page (default ja_JP.UTF-8: code page 932; C.UTF-8 gives
#                      an English system, code page 1252). Each Wine process
#                      takes it when it starts, the desktop too: give another
#                      one a state folder of its own.
#
# The file `environment` in the state folder, if there is one, holds NAME=VALUE
# lines that are set after the defaults for every command of that state (the
# run of tools/try-medium --env writes it): LANG=C.UTF-8 gives an English
# system with code page 1252. LC_ALL follows LANG unless the file sets it.
set -u

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

if [ -z "${WINERUN_STATE_DIR:-}" ]; then
    WINERUN_STATE_DIR=$(cd "$here/../.." && pwd)/build/x86_64
fi
mkdir -p "$WINERUN_STATE_DIR" || exit 125
state_dir=$(cd "$WINERUN_STATE_DIR" && pwd)
run_dir=$state_dir/wine-run
prefix=$state_dir/wineprefix
mkdir -p "$run_dir" || exit 125

export WINEPREFIX=$prefix
export WINEARCH=win64
export WINEDEBUG=${WINERUN_WINEDEBUG:--all}
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
export LANG=${WINERUN_LANG:-ja_JP.UTF-8}
export LC_ALL=$LANG
if [ -f "$state_dir/environment" ]; then
    lc_all_given=0
    while IFS= read -r line || [ -n "$line" ]; do
        name=${line%%=*}
        [[ $line == *=* && $name =~ ^[A-Za-z_][A-Za-z0-9_]*$ ]] || continue
        [ "$name" = LC_ALL ] && lc_all_given=1
        export "$name=${line#*=}"
    done <"$state_dir/environment"
    [ $lc_all_given = 1 ] || export LC_ALL=$LANG
fi
unset WAYLAND_DISPLAY
export WINERUN="$here/winerun.sh"
export WINERUN_STATE_DIR=$state_dir

# The 64-bit loader by name: once wine32 is installed, Debian's `wine` starts
# every program through the 32-bit loader, which runs only under emulation
# (or not at all). A 64-bit Wine still starts a 32-bit program itself,
# through the loader beside WINELOADER without its "64". A `wine` of our own
# first on PATH keeps every caller (scripts, `--env wine reg ...`) on it.
if [ -z "${WINERUN_LOADER:-}" ]; then
    if [ -x /usr/lib/wine/wine64 ]; then WINERUN_LOADER=/usr/lib/wine/wine64
    else WINERUN_LOADER=$(command -v wine64 || command -v wine || echo wine); fi
fi
export WINELOADER=$WINERUN_LOADER
mkdir -p "$run_dir/bin" || exit 125
if [ "$(sed -n 2p "$run_dir/bin/wine" 2>/dev/null)" != "exec \"$WINELOADER\" \"\$@\"" ]; then
    printf '#!/bin/sh\nexec "%s" "$@"\n' "$WINELOADER" >"$run_dir/bin/wine.new" &&
        chmod +x "$run_dir/bin/wine.new" && mv -f "$run_dir/bin/wine.new" "$run_dir/bin/wine"
fi
export PATH="$run_dir/bin:$PATH"

say() { echo "winerun: $*" >&2; }
# What the runner did, for when a run went wrong: build/<arch>/wine-run/winerun.log
note() { echo "$(date '+%F %T') [$$] $*" >>"$run_dir/winerun.log"; }

display_alive() {
    [ -n "$1" ] && xdpyinfo -display "$1" >/dev/null 2>&1
}

# The pid recorded in a file, if that process is still the one named.
recorded_pid() {
    local file=$1 name=$2 pid
    [ -s "$file" ] || return 1
    pid=$(cat "$file")
    [ -r "/proc/$pid/cmdline" ] || return 1
    tr '\0' ' ' <"/proc/$pid/cmdline" | grep -q "$name" || return 1
    echo "$pid"
}

start_xvfb() {
    local geometry=${WINERUN_GEOMETRY:-1024x768x24} number i
    rm -f "$run_dir/xvfb.number"
    # -displayfd: Xvfb picks a free display number itself and writes it
    # when it accepts connections. setsid and closed descriptors keep it
    # out of the caller's process group and pipes (ctest waits on both).
    setsid Xvfb -displayfd 5 -screen 0 "$geometry" -nolisten tcp \
        5>"$run_dir/xvfb.number" </dev/null >"$run_dir/xvfb.log" 2>&1 9>&- &
    echo $! >"$run_dir/xvfb.pid"
    for i in $(seq 1 100); do
        number=$(cat "$run_dir/xvfb.number" 2>/dev/null)
        if [ -n "$number" ]; then
            echo ":$number" >"$run_dir/display"
            note "started Xvfb :$number (pid $(cat "$run_dir/xvfb.pid"))"
            return 0
        fi
        kill -0 "$(cat "$run_dir/xvfb.pid")" 2>/dev/null || break
        sleep 0.1
    done
    say "Xvfb did not start (see $run_dir/xvfb.log)"
    return 1
}

# Settings of a new prefix: Japanese fonts; one virtual desktop as large as
# the screen, so that Wine draws captions and frames itself (there is no
# window manager) and screenshots show them; no crash dialog that would wait
# for a click; unmanaged X windows (no window manager to wait for).
write_prefix_settings() {
    local reg=$run_dir/settings.reg geometry=${WINERUN_GEOMETRY:-1024x768x24}
    local desktop=${geometry%x*}
    {
        printf '\xef\xbb\xbf'
        cat <<'EOF'
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"ＭＳ Ｐゴシック"="IPAPGothic"
"ＭＳ ゴシック"="IPAGothic"
"ＭＳ 明朝"="IPAMincho"
"ＭＳ Ｐ明朝"="IPAPMincho"
"MS PGothic"="IPAPGothic"
"MS Gothic"="IPAGothic"
"MS UI Gothic"="IPAPGothic"
"MS Shell Dlg"="IPAPGothic"
"MS Shell Dlg 2"="IPAPGothic"
"MS Sans Serif"="IPAPGothic"
"Tahoma"="IPAPGothic"
"Meiryo"="IPAPGothic"
"メイリオ"="IPAPGothic"
"Yu Gothic UI"="IPAPGothic"

[HKEY_CURRENT_USER\Software\Wine\Explorer]
"Desktop"="Default"

[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]
"Default"="@GEOMETRY@"

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000

EOF
    } | sed "s/@GEOMETRY@/$desktop/" | iconv -f UTF-8 -t UTF-16 >"$reg" || return 1
    wine regedit /S "$(winepath_of "$reg")" </dev/null >>"$run_dir/prefix.log" 2>&1 9>&-
}

winepath_of() {
    # Every host path is on drive Z: in a new prefix.
    local p=$1
    case "$p" in /*) ;; *) p=$(pwd)/$p ;; esac
    printf 'Z:%s' "${p//\//\\}"
}

# CI once saw wineboot leave a new prefix without system.reg, and lost the
# whole Wine suite; the cause is not known. Up to three tries, each in a
# fresh folder, and the log of each failed try goes to stderr so that the
# cause shows in the run's output.
create_prefix() {
    local attempt
    say "creating Wine prefix $prefix"
    : >"$run_dir/prefix.log"
    for attempt in 1 2 3; do
        note "creating prefix (try $attempt)"
        wineserver -k >/dev/null 2>&1 9>&-
        timeout 20 wineserver -w >/dev/null 2>&1 9>&-
        rm -rf "$prefix"
        echo "--- try $attempt" >>"$run_dir/prefix.log"
        wine wineboot -i </dev/null >>"$run_dir/prefix.log" 2>&1 9>&-
        wineserver -w 9>&-
        [ -f "$prefix/system.reg" ] && break
        say "wineboot failed (try $attempt of 3); $run_dir/prefix.log ends:"
        tail -n 15 "$run_dir/prefix.log" >&2
        ls -la "$prefix" >&2 2>/dev/null
    done
    [ -f "$prefix/system.reg" ] || return 1
    write_prefix_settings || { say "prefix settings failed"; return 1; }
    wineserver -w 9>&-
    touch "$prefix/.winerun-ready"
}

# Brings up the display and the prefix. Holds a lock so that concurrent
# callers do not start two of either.
ensure_up() {
    # Every program started while the lock is held gets 9>&-: a child that
    # kept the descriptor (Xvfb, wineserver) would hold the lock for ever.
    exec 9>"$run_dir/run.lock"
    flock -w 300 9 || { say "lock timeout"; return 1; }
    local display=""
    # The recorded display is still ours: the host's display answers, or
    # the Xvfb that the runner started is still running (a display number
    # that someone else took over after it ended is not ours).
    if [ -s "$run_dir/display" ] && display_alive "$(cat "$run_dir/display")" &&
       { [ ! -e "$run_dir/xvfb.pid" ] || recorded_pid "$run_dir/xvfb.pid" Xvfb >/dev/null; }; then
        display=$(cat "$run_dir/display")
    else
        # The display changed: a wineserver of the old one would keep its
        # desktop on a dead display.
        if [ -s "$run_dir/display" ]; then
            note "display $(cat "$run_dir/display") does not answer"
        fi
        [ -d "$prefix" ] && wineserver -k >/dev/null 2>&1 9>&-
        # An Xvfb of ours that no longer answers is ended, not left behind.
        local stale
        if stale=$(recorded_pid "$run_dir/xvfb.pid" Xvfb); then
            note "ending Xvfb $stale, which does not answer"
            kill "$stale" 2>/dev/null
        fi
        rm -f "$run_dir/display" "$run_dir/xvfb.pid"
        if [ -n "${DISPLAY:-}" ] && display_alive "$DISPLAY"; then
            echo "$DISPLAY" >"$run_dir/display"
        else
            start_xvfb || { exec 9>&-; return 1; }
        fi
        display=$(cat "$run_dir/display")
    fi
    export DISPLAY=$display
    if [ ! -f "$prefix/.winerun-ready" ]; then
        create_prefix || { exec 9>&-; return 1; }
    fi
    exec 9>&-
}

# Export lines for sourcing, with values quoted for the shell.
print_env() {
    local v
    for v in WINEPREFIX WINEARCH WINEDEBUG WINEDLLOVERRIDES WINELOADER PATH LANG LC_ALL DISPLAY WINERUN; do
        printf 'export %s=%q\n' "$v" "${!v}"
    done
    printf 'export WINERUN_STATE_DIR=%q\n' "$state_dir"
}

# Starts the desktop process now rather than in the first test. With the
# build tree's desktop keeper (WINERUN_KEEPER) the desktop also stays open
# until the session ends, instead of closing after every program and being
# started again by the next one; --start returns once the desktop is up.
start_desktop() {
    local ready=$run_dir/keeper.ready
    if [ -z "${WINERUN_KEEPER:-}" ] || [ ! -f "$WINERUN_KEEPER" ]; then
        wine cmd /c exit 0 </dev/null >/dev/null 2>&1
        return 0
    fi
    rm -f "$ready"
    setsid wine "$WINERUN_KEEPER" "$(winepath_of "$ready")" </dev/null >/dev/null 2>&1 9>&- &
    for _ in $(seq 1 1200); do
        [ -e "$ready" ] && { note "desktop keeper up"; return 0; }
        sleep 0.1
    done
    say "the desktop keeper did not report the desktop within 120 s"
    return 1
}

stop_all() {
    local pid
    note "stop"
    if [ -d "$prefix" ]; then
        wineserver -k >/dev/null 2>&1
        # -k asks the server to end; wait until it has (registry written).
        timeout 20 wineserver -w >/dev/null 2>&1
    fi
    if pid=$(recorded_pid "$run_dir/xvfb.pid" Xvfb); then
        note "stopping Xvfb $(cat "$run_dir/display" 2>/dev/null) (pid $pid)"
        kill "$pid" 2>/dev/null
        for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
        kill -9 "$pid" 2>/dev/null
    fi
    rm -f "$run_dir/display" "$run_dir/xvfb.pid" "$run_dir/xvfb.number"
}

# The comment at the top of this file, up to its first line of code.
usage() {
    sed -n '2,/^[^#]/p' "$0" | sed -n 's/^# \{0,1\}//p'
}

case "${1:-}" in
    "")
        usage
        exit 2
        ;;
    -h|--help)
        usage
        exit 0
        ;;
    --start)
        ensure_up || exit 1
        # Persistent server: every program of the run finds it started, and
        # its descriptors are not those of the test that happened to start it.
        wineserver -p </dev/null >/dev/null 2>&1
        start_desktop
        echo "winerun: prefix $WINEPREFIX, display $DISPLAY"
        exit 0
        ;;
    --stop)
        stop_all
        echo "winerun: stopped"
        exit 0
        ;;
    --reset)
        stop_all
        rm -rf "$prefix"
        echo "winerun: prefix removed"
        exit 0
        ;;
    --print-env)
        ensure_up || exit 1
        print_env
        exit 0
        ;;
    --env)
        shift
        ensure_up || exit 1
        [ $# -gt 0 ] || { print_env; exit 0; }
        exec "$@"
        ;;
    --screenshot)
        ensure_up || exit 1
        exec import -display "$DISPLAY" -window root "${2:?file name}"
        ;;
    --windows)
        ensure_up || exit 1
        xwininfo -display "$DISPLAY" -root -children 2>/dev/null |
            grep -E '^ +0x[0-9a-f]+ "' | grep -v '"Default IME"' | sed 's/^ *//'
        exit 0
        ;;
    --check)
        ensure_up || exit 1
        failed=0
        acp=$(wine reg query 'HKLM\System\CurrentControlSet\Control\Nls\CodePage' /v ACP \
            </dev/null 2>/dev/null | tr -d '\r' | awk '$1 == "ACP" { print $3 }')
        if [ "$acp" = 932 ]; then echo "ANSI code page: 932"
        else echo "FAILED: ANSI code page is '$acp', not 932 (is the ja_JP.UTF-8 locale there?)"; failed=1; fi
        replacements=$(wine reg query 'HKCU\Software\Wine\Fonts\Replacements' </dev/null 2>/dev/null |
            iconv -f CP932 -t UTF-8 | tr -d '\r')
        for face in "ＭＳ Ｐゴシック" "MS UI Gothic" "MS Shell Dlg"; do
            if printf '%s\n' "$replacements" | grep -q "^ *$face *REG_SZ *IPA"; then
                echo "font replacement: $face"
            else
                echo "FAILED: no font replacement for $face"; failed=1
            fi
        done
        for font in IPAGothic IPAPGothic; do
            if fc-list : family | tr , "\n" | grep -qx "$font"; then echo "host font: $font"
            else echo "FAILED: font $font is not installed (fonts-ipafont-gothic)"; failed=1; fi
        done
        echo "display: $DISPLAY"
        exit $failed
        ;;
    -*)
        say "unknown option $1"
        exit 2
        ;;
    *)
        ensure_up || exit 125
        exec wine "$@"
        ;;
esac
