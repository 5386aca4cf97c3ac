#!/usr/bin/env bash
# Installs the Debian packages that building and testing need, and the
# ja_JP.UTF-8 locale that Wine's code page 932 comes from. Quick when all is
# there already: apt is asked only about what is missing. Needs root.
set -euo pipefail

packages=(
    cmake
    ninja-build
    make
    python3
    # cross compilers for both architectures; -posix for GoogleTest's threads
    mingw-w64
    g++-mingw-w64-x86-64-posix
    g++-mingw-w64-i686-posix
    binutils-mingw-w64-x86-64
    binutils-mingw-w64-i686
    # native tests: sanitizers and libFuzzer
    clang
    libclang-rt-14-dev
    googletest
    libgtest-dev
    # Wine with a display of its own, Japanese locale and fonts, screenshots
    wine
    wine64
    xvfb
    x11-utils
    locales
    fontconfig
    fonts-ipafont-gothic
    imagemagick
)

missing=()
for p in "${packages[@]}"; do
    case "$p" in \#*) continue ;; esac
    if ! dpkg -s "$p" 2>/dev/null | grep -q '^Status: install ok installed'; then
        missing+=("$p")
    fi
done

as_root() {
    if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi
}

if [ ${#missing[@]} -gt 0 ]; then
    echo "install-deps: installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    as_root apt-get update -q
    as_root apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# 32-bit Wine and qemu-user, for the i686 stage of test.sh (the i686
# setup.exe under emulation). Optional: where the i386 architecture or its
# packages cannot be had, that stage says "skipped" and nothing else changes.
# With wine32 installed, Debian's `wine` starts programs through the 32-bit
# loader; tools/wine/winerun.sh names the 64-bit one for everything else.
if ! dpkg -s wine32:i386 qemu-user-static 2>/dev/null | grep -c '^Status: install ok installed' |
        grep -qx 2; then
    echo "install-deps: installing wine32:i386 and qemu-user-static (for the i686 stage)"
    if ! { { dpkg --print-foreign-architectures | grep -qx i386 || as_root dpkg --add-architecture i386; } &&
           as_root apt-get update -q &&
           DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -q --no-install-recommends \
               wine32:i386 qemu-user-static; }; then
        echo "install-deps: 32-bit Wine could not be installed; the i686 stage will be skipped"
    fi
fi

# Wine takes its ANSI code page (932) from the locale.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
    echo "install-deps: generating the ja_JP.UTF-8 locale"
    if [ -f /etc/locale.gen ] && grep -q '^# *ja_JP.UTF-8 UTF-8' /etc/locale.gen; then
        as_root sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    elif ! grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
        echo 'ja_JP.UTF-8 UTF-8' | as_root tee -a /etc/locale.gen >/dev/null
    fi
    as_root locale-gen
fi
