#!/usr/bin/env bash
# i686_life_cycle.sh: the 32-bit setup.exe run for real. The whole life of
# the i686 sample medium (build/i686/media/sample), as lifecycle_cases.py
# runs it for the demonstration, in 32-bit Wine under qemu-user on a 64-bit
# prefix of its own (build/i686/wine32): the program as a 32-bit installer
# meets 64-bit Windows, with Program Files (x86), SysWOW64 and the registry's
# 32-bit view. The UI driver and every other helper stay 64-bit.
#
# The machine refuses 32-bit programs natively; qemu-i386 runs them through
# binfmt_misc. Where that cannot be arranged (no wine32 or qemu-user-static,
# binfmt_misc neither mounted nor mountable, no 32-bit program starts) the
# stage prints "skipped: REASON" and exits 77. A registration of qemu-i386
# made here is taken back at the end: while it stands, every new 64-bit
# prefix also sets up its 32-bit half, under emulation, for minutes.
#
#   tests/e2e/i686_life_cycle.sh      exit 0 passed, 1 failed, 77 skipped
set -u

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
state=$root/build/i686/wine32
medium=$root/build/i686/media/sample
host_tree=$root/build/x86_64
binfmt=/proc/sys/fs/binfmt_misc
loader32=/usr/lib/wine/wine
# 32-bit ELF programs of the i386 machine, as Debian's qemu-user-static registers them.
qemu_entry=':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:'
qemu_entry+='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:'

skip() {
    echo "skipped: $*"
    exit 77
}

for f in "$medium/setup.exe" "$medium/setup.inf" "$host_tree/tools/uidriver/uidriver.exe" \
         "$host_tree/tools/wine/desktop_keeper.exe"; do
    [ -f "$f" ] || { echo "missing $f (build the i686 and x86_64 trees first)"; exit 1; }
done
[ -x "$loader32" ] || skip "32-bit Wine is not installed (wine32:i386)"
qemu=$(command -v qemu-i386-static) || skip "qemu-user-static is not installed"

if [ ! -e "$binfmt/register" ]; then
    mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null || skip "binfmt_misc is not mounted and cannot be"
fi
registered_here=0
if [ ! -e "$binfmt/qemu-i386" ]; then
    # Flag F: the interpreter is opened now, so it is found in any mount
    # namespace a program later runs in.
    { printf '%s%s:F' "$qemu_entry" "$qemu" >"$binfmt/register"; } 2>/dev/null ||
        skip "qemu-i386 cannot be registered in binfmt_misc"
    registered_here=1
fi

winerun=$state/winerun
finish() {
    [ -x "$winerun" ] && "$winerun" --stop >/dev/null 2>&1
    [ $registered_here = 1 ] && { echo -1 >"$binfmt/qemu-i386"; } 2>/dev/null
}
trap finish EXIT

# Without this reservation 32-bit Wine cannot map its shared user data under qemu.
export QEMU_RESERVED_VA=0xf7000000
timeout 120 "$loader32" --version >/dev/null 2>&1 || skip "a 32-bit program does not start under qemu-i386 here"

mkdir -p "$state"
cat >"$winerun" <<EOF
#!/bin/sh
# The Wine runner of the i686 stage (made by tests/e2e/i686_life_cycle.sh).
export QEMU_RESERVED_VA=$QEMU_RESERVED_VA
WINERUN_STATE_DIR="$state" WINERUN_KEEPER="$host_tree/tools/wine/desktop_keeper.exe" \\
    exec "$root/tools/wine/winerun.sh" "\$@"
EOF
chmod +x "$winerun"

t0=$SECONDS
"$winerun" --reset >/dev/null
"$winerun" --start || { echo "the 32-bit Wine prefix could not be made"; exit 1; }
echo "a new prefix in $((SECONDS - t0)) s"

t1=$SECONDS
# Each start of a 32-bit program takes about a minute under emulation.
SETUP_BUILD_DIR=$host_tree SETUP_WINERUN=$winerun SETUP_E2E_MEDIUM=$medium SETUP_E2E_WOW64=1 \
    SETUP_E2E_SLOW=5 SETUP_E2E_WORK=$state/out \
    timeout 2400 python3 "$root/tests/e2e/lifecycle_cases.py" whole_life_cycle
status=$?
echo "the life cycle in $((SECONDS - t1)) s (transcripts and screenshots: $state/out)"
[ $status = 0 ] || exit 1
exit 0
