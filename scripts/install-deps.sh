#!/bin/sh
# Installs the Debian packages the build needs, when they are missing and we are root.
# `install-deps.sh windows` installs what the Windows build and its tests under Wine need.
set -e
if [ "$1" = windows ]; then
    pkgs="cmake make g++-mingw-w64-i686 googletest wine wine32:i386 xvfb xauth"
    # A kernel without 32-bit support runs the tests as 64-bit programs under 64-bit Wine.
    /usr/lib/wine/wine --version >/dev/null 2>&1 || [ ! -e /usr/lib/wine/wine ] ||
        pkgs="$pkgs g++-mingw-w64-x86-64 wine64"
else
    pkgs="cmake make g++ clang libgtest-dev libgmock-dev libbenchmark-dev qt6-base-dev \
libgl1-mesa-dev fonts-liberation xvfb xauth"
fi
missing=""
for p in $pkgs; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
if [ "$(id -u)" != 0 ]; then
    echo "missing packages:$missing (run as root, or install them yourself)" >&2
    exit 1
fi
echo "installing:$missing"
export DEBIAN_FRONTEND=noninteractive
if [ "$1" = windows ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386 # wine32 is an i386 package
fi
apt-get update -qq
apt-get install -y -qq --no-install-recommends $missing >/dev/null
