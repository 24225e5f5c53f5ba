#!/usr/bin/env bash
# Installs what building and testing the agent needs, from Debian's packages only.
# Quick when everything is there already.
set -euo pipefail

packages=(
    cmake make g++ git python3
    g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64-tools
    # Wine's TLS runs over GnuTLS, for 32-bit and 64-bit Wine alike.
    wine wine32:i386 wine64 libgnutls30:i386 libgnutls30 xvfb xdotool x11-utils imagemagick
    # Wine's own "MS Sans Serif" (the dialogs' font, with its widths) and Marlett (the
    # caption buttons' glyphs): without them labels clip and a close button shows "r".
    # Liberation and Droid Sans Fallback draw the menus' Greek and Japanese characters.
    fonts-wine fonts-liberation fonts-droid-fallback
    googletest clang libclang-rt-14-dev
    nginx-light apache2 lighttpd tinyproxy squid openssl python3-pytest curl
    # Publishing software whose feeds the system tests poll: an RSS 2.0 site and an Atom
    # feed, generated in the tests.
    hugo jekyll ruby-jekyll-feed
    # Windows sign-in to a proxy. Wine's Kerberos (inside its Negotiate) loads the host's MIT
    # libraries of its own architecture, libkrb5.so.3 and libgssapi_krb5.so.2, and reads the
    # realm from KRB5_CONFIG (else /etc/krb5.conf) and the user's ticket from KRB5CCNAME
    # (else /tmp/krb5cc_<uid>). Wine's NTLM runs Samba's ntlm_auth (winbind) from the PATH:
    # with a stored user and password it needs nothing else; the logged-on user's own
    # credentials would need a running winbindd joined to a domain. The tests' realm comes
    # from krb5-kdc, krb5-admin-server (kadmin.local) and krb5-user (kinit, klist).
    libgssapi-krb5-2 libgssapi-krb5-2:i386 winbind krb5-kdc krb5-admin-server krb5-user
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
# The packaged daemons are started by our tests on loopback ports of their own; the system
# services are not needed. They must not even start while installing: nginx and Apache
# would both claim port 80, and the one that fails fails the installation. A policy-rc.d
# that answers 101 keeps Debian's maintainer scripts from starting any service.
policy=/usr/sbin/policy-rc.d
if [ ! -e "$policy" ]; then
    printf '#!/bin/sh\nexit 101\n' >"$policy"
    chmod +x "$policy"
    trap 'rm -f "$policy"' EXIT
fi
DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}" >/dev/null
daemons=(nginx apache2 lighttpd tinyproxy squid krb5-kdc krb5-admin-server winbind)
systemctl disable --now "${daemons[@]}" >/dev/null 2>&1 || true
for daemon in "${daemons[@]}"; do
    service "$daemon" stop >/dev/null 2>&1 || true
done
