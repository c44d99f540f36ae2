#!/bin/sh
# Installs the Debian packages the build needs, when they are missing and we are root.
set -e
pkgs="cmake make g++ clang libgtest-dev libgmock-dev libbenchmark-dev qt6-base-dev libgl1-mesa-dev \
fonts-liberation xvfb xauth"
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
apt-get update -qq
apt-get install -y -qq --no-install-recommends $missing >/dev/null
