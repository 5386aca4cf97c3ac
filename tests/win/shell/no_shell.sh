#!/usr/bin/env bash
# no_shell.sh TEST_EXE SCRATCH_DIR [ARG...]: runs TEST_EXE with its arguments
# where no shell answers DDE.
# The build tree's prefix belongs to a Wine session whose desktop process
# offers PROGMAN; this makes a second prefix in SCRATCH_DIR that shares its
# drive C: and a copy of its registry, and runs the program there with the
# desktop process (explorer.exe) disabled, under a Wine server of its own.
set -u
exe=$1
scratch=$2
shift 2
prefix=$scratch/prefix

rm -rf "$scratch"
mkdir -p "$prefix/dosdevices" || exit 1
cp "$WINEPREFIX/.update-timestamp" "$WINEPREFIX"/*.reg "$prefix/" || exit 1
ln -s "$WINEPREFIX/drive_c" "$prefix/dosdevices/c:"
ln -s / "$prefix/dosdevices/z:"

status=0
WINEPREFIX=$prefix WINEDLLOVERRIDES="$WINEDLLOVERRIDES;explorer.exe=d" wine "$exe" "$@" </dev/null || status=$?
WINEPREFIX=$prefix wineserver -k 2>/dev/null
WINEPREFIX=$prefix wineserver -w 2>/dev/null
rm -rf "$scratch"
exit $status
