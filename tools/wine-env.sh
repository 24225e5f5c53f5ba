#!/usr/bin/env bash
# Runs one command inside a private Wine environment and tears it down afterwards:
#   tools/wine-env.sh <cross-build-dir> <command> [args...]
# The environment is an Xvfb display on a free number, a throwaway 32-bit WINEPREFIX in
# <cross-build-dir>/wine/prefix (made once, then reused), a persistent wineserver, and a virtual
# desktop whose taskbar holds the notification area. The command sees DISPLAY,
# WINEPREFIX, WINEDEBUG and WINEDLLOVERRIDES, and PYTHONPATH leads to the build's
# agent_contract module (the agent's ids, texts and keys for the Python tests). Nothing
# started here outlives the script, whatever the command's result. ZV_WINE_STATE names
# another folder for the prefix and the display, so that two environments of one build can
# run side by side.
set -euo pipefail

build_dir=$(cd "$1" && pwd)
shift
state_dir=${ZV_WINE_STATE:-$build_dir/wine}
mkdir -p "$state_dir"
state_dir=$(cd "$state_dir" && pwd)
keeper="$build_dir/tools/zv-desktop-keeper.exe"

export WINEPREFIX="$state_dir/prefix"
export WINEARCH=$(cat "$build_dir/wine-arch" 2>/dev/null || echo win32)
if [ "$WINEARCH" = win64 ]; then
    # The "wine" command prefers the 32-bit loader whenever it is installed; a 64-bit build
    # needs the 64-bit one, under the same name for the scripts and tests.
    mkdir -p "$state_dir/bin"
    printf '#!/bin/sh\nexec /usr/lib/wine/wine64 "$@"\n' >"$state_dir/bin/wine"
    chmod +x "$state_dir/bin/wine"
    export PATH="$state_dir/bin:$PATH"
    export WINELOADER=/usr/lib/wine/wine64
fi
export WINEDEBUG=-all
export PYTHONPATH="$build_dir/generated${PYTHONPATH:+:$PYTHONPATH}"
export WINEDLLOVERRIDES="winealsa.drv,winepulse.drv,wineoss.drv=d;winemenubuilder.exe=d;mscoree,mshtml="

xvfb_pid=""
desktop_pid=""

stop_all() {
    set +e
    # wineserver -k ends every Wine process of this prefix, then the server itself.
    wineserver -k >/dev/null 2>&1
    [ -n "$desktop_pid" ] && kill "$desktop_pid" >/dev/null 2>&1
    wineserver -w >/dev/null 2>&1
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" >/dev/null 2>&1 && wait "$xvfb_pid" 2>/dev/null
}
trap stop_all EXIT
trap 'exit 130' INT TERM

start_display() {
    local fd_file="$state_dir/display"
    rm -f "$fd_file"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fd_file" >/dev/null 2>&1 </dev/null &
    xvfb_pid=$!
    for _ in $(seq 1 100); do
        [ -s "$fd_file" ] && break
        sleep 0.05
    done
    [ -s "$fd_file" ] || { echo "wine-env: Xvfb did not start" >&2; exit 1; }
    export DISPLAY=":$(head -n 1 "$fd_file")"
}

make_prefix() {
    if [ ! -f "$WINEPREFIX/.zavora-ready" ]; then
        rm -rf "$WINEPREFIX"
        wine wineboot -i </dev/null >/dev/null 2>&1
        wineserver -w
        wine cmd /c exit 0 </dev/null >/dev/null 2>&1 || {
            echo "wine-env: Wine cannot run $WINEARCH programs on this machine" >&2
            exit 3
        }
        # A virtual desktop makes the taskbar with its notification area exist and lets
        # GUI programs exit at once.
        wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d agent /f </dev/null >/dev/null 2>&1
        wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v agent /d 1024x768 /f \
            </dev/null >/dev/null 2>&1
        wineserver -w
        touch "$WINEPREFIX/.zavora-ready"
    fi
    link_wine_fonts
    direct_connection
}

# Wine's own fonts (fonts-wine) hold "MS Sans Serif" with the character widths the dialogs
# are laid out for, Tahoma and Marlett; Debian's Wine loaders do not find them in their
# data folder, so without them the dialogs fall back to a wider font and labels clip.
# Fonts in the prefix's Fonts folder are always loaded.
link_wine_fonts() {
    local fonts=/usr/share/wine/fonts
    [ -d "$fonts" ] || return 0
    ln -sf "$fonts"/* "$WINEPREFIX/drive_c/windows/Fonts/"
    # Tahoma, the menus' font, has no Greek or Japanese: as on Windows, linked fonts draw
    # the characters it lacks (Wine reads the links when a program starts).
    if [ ! -f "$WINEPREFIX/.zavora-font-links" ]; then
        local links='LiberationSans-Regular.ttf,Liberation Sans\0'
        links+='DroidSansFallbackFull.ttf,Droid Sans Fallback'
        wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
            /v Tahoma /t REG_MULTI_SZ /d "$links" /f </dev/null >/dev/null 2>&1
        wineserver -w
        touch "$WINEPREFIX/.zavora-font-links"
    fi
}

# Windows' proxy settings as on a machine without a proxy: direct, without automatic
# detection, which Wine's default has on. Detection asks the network's DNS for a proxy
# script on every poll; where the machine's DNS domain has one, every test would go through
# it. The tests of Windows' proxy settings write their own and put these back.
direct_connection() {
    if [ ! -f "$WINEPREFIX/.zavora-direct" ]; then
        wine reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings\Connections' \
            /v DefaultConnectionSettings /t REG_BINARY \
            /d 460000000000000001000000000000000000000000000000 /f </dev/null >/dev/null 2>&1
        wineserver -w
        touch "$WINEPREFIX/.zavora-direct"
    fi
}

start_wine() {
    # Without a persistent server every Wine start costs seconds; its own stdin/stdout must
    # not be the caller's pipes, or pipelines wait for it.
    wineserver -p </dev/null >/dev/null 2>&1
    # A small window-owning program keeps the virtual desktop and its taskbar alive
    # between test programs. Before the build has made it, the environment is only
    # being prepared.
    [ -f "$keeper" ] || return 0
    wine "$keeper" </dev/null >/dev/null 2>&1 &
    desktop_pid=$!
    for _ in $(seq 1 100); do
        xdotool search --name 'Wine desktop' >/dev/null 2>&1 && break
        sleep 0.1
    done
}

# ZV_HOST_DISPLAY=1 keeps the caller's working $DISPLAY instead of a private Xvfb.
if [ -n "${ZV_HOST_DISPLAY:-}" ]; then
    [ -n "${DISPLAY:-}" ] || { echo "wine-env: ZV_HOST_DISPLAY needs DISPLAY" >&2; exit 1; }
else
    start_display
fi
make_prefix
start_wine
set +e
"$@"
status=$?
exit $status
