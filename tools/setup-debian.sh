#!/usr/bin/env bash
# Installs what building and testing the agent needs, from Debian's packages only.
# Quick when everything is there already.
set -euo pipefail

packages=(
    cmake make g++ git python3
    g++-mingw-w64-i686 mingw-w64-tools
    wine wine32:i386 libgnutls30:i386 xvfb xdotool x11-utils imagemagick
    googletest clang libclang-rt-14-dev
    nginx-light tinyproxy python3-pytest curl openssl
    nsis
)

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
        missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
    echo "setup: run as root to install: ${missing[*]}" >&2
    exit 1
fi
echo "setup: installing ${missing[*]}"
dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
apt-get update -q
DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}" >/dev/null
# The packaged daemons are started by our tests on loopback ports of their own; the system
# services that the packages start are not needed.
systemctl disable --now nginx tinyproxy >/dev/null 2>&1 || true
service nginx stop >/dev/null 2>&1 || true
service tinyproxy stop >/dev/null 2>&1 || true
