#!/usr/bin/env bash
# Takes the README's screenshots of the real agent under Wine: the command menu, the entries
# menu and the About box (docs/tray-menu.png, docs/entries-menu.png, docs/about.png), then
# the popup and the About box at 200 % (docs/popup-200.png, docs/about-200.png):
#   tools/readme-screenshots.sh [cross-build-dir]   (default: the build Wine runs here)
# The agent polls the demo site once, so the entries menu lists a real edition, titles in
# other languages included. The popup at 100 % and the settings pages have screenshot
# scripts of their own (tools/screenshot-popup.sh, tools/screenshot-config.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

if [ "${1:-}" = "--inside" ]; then
    build_dir=$2
    port=$3
    # shellcheck source=/dev/null
    . "$build_dir/generated/agent_contract.sh"
    settings_key="HKCU\\$REG_SETTINGS_KEY"
    data_key="HKCU\\$REG_DATA_KEY"
    about_title="About $PRODUCT_NAME"
    drive() { wine "$build_dir/tools/zv-drive.exe" "$@" </dev/null 2>/dev/null; }
    shot() { # name, crop geometry
        local raw
        raw=$(mktemp --suffix=.png)
        import -window root "$raw"
        convert "$raw" -crop "$2" +repage "docs/$1.png"
        rm -f "$raw"
        echo "screenshots: docs/$1.png"
    }
    shot_around() { # name, margin, a zv-drive window line with rect=left,top,right,bottom
        local left top right bottom
        IFS=, read -r left top right bottom <<<"$(sed -E 's/.* rect=([-0-9,]+) .*/\1/' <<<"$3")"
        shot "$1" "$((right - left + 2 * $2))x$((bottom - top + 2 * $2))+$((left - $2))+$((top - $2))"
    }
    set_dpi() {
        wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f \
            </dev/null >/dev/null 2>&1
    }

    wine reg delete "HKCU\\$REG_COMPANY_KEY" /f </dev/null >/dev/null 2>&1 || true
    for pair in urlHost=127.0.0.1 "urlPort=$port" urlPath=/.newsupdate alertByMessage=0 \
        alertBySystemSound=0; do
        wine reg add "$settings_key" /v "${pair%%=*}" /d "${pair#*=}" /f </dev/null >/dev/null 2>&1
    done
    wine "$build_dir/src/core/ZavoraAgent.exe" </dev/null >/dev/null 2>&1 &
    agent=$!
    drive wait-window 15000 >/dev/null
    for _ in $(seq 1 60); do
        wine reg query "$data_key" /v epoch </dev/null >/dev/null 2>&1 && break
        sleep 0.5
    done
    sleep 1

    # Menus open at the pointer: put it on the tray icon, as a user's click would.
    xdotool mousemove 1012 758
    drive tray right >/dev/null
    drive menu 3000 >/dev/null
    shot tray-menu 360x240+664+528
    drive close-menu 2000 >/dev/null
    drive wait-menu-gone 3000 >/dev/null
    drive tray left >/dev/null
    drive menu 3000 >/dev/null
    shot entries-menu 420x240+604+528
    drive close-menu 2000 >/dev/null
    drive wait-menu-gone 3000 >/dev/null

    drive command about >/dev/null
    about=$(drive wait-title "$about_title" 5000 | grep '^window' || true)
    sleep 0.5
    [ -n "$about" ] && shot_around about 24 "$about"
    drive press "$about_title" 1 3000 >/dev/null

    drive command exit >/dev/null
    wait "$agent" || true

    # At 200 %: a fresh start whose first poll announces the edition again with the popup.
    set_dpi 192
    trap 'set_dpi 96' EXIT
    wine reg add "$settings_key" /v alertByMessage /d 1 /f </dev/null >/dev/null 2>&1
    wine reg delete "$data_key" /f </dev/null >/dev/null 2>&1
    wine "$build_dir/src/core/ZavoraAgent.exe" </dev/null >/dev/null 2>&1 &
    agent=$!
    drive wait-window 15000 >/dev/null
    popup=""
    for _ in $(seq 1 60); do
        popup=$(drive windows | grep 'visible=1 .*class=ZavoraNewsPopup' || true)
        [ -n "$popup" ] && break
        sleep 0.5
    done
    # The slide takes under half a second; the popup then holds for ten.
    sleep 1.5
    popup=$(drive windows | grep 'visible=1 .*class=ZavoraNewsPopup' || true)
    [ -n "$popup" ] && shot_around popup-200 48 "$popup"
    drive command about >/dev/null
    about=$(drive wait-title "$about_title" 5000 | grep '^window' || true)
    sleep 0.5
    [ -n "$about" ] && shot_around about-200 8 "$about"
    drive press "$about_title" 1 3000 >/dev/null
    drive command exit >/dev/null
    wait "$agent" || true
    exit 0
fi

# shellcheck source=wine-build.sh
. tools/wine-build.sh
build_dir=$(cd "${1:-$zv_wine_build}" && pwd)
work=$(mktemp -d)
trap 'kill "$site" 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$work"' EXIT
python3 tools/demo-site.py --port-file "$work/port" >"$work/site.log" 2>&1 </dev/null &
site=$!
for _ in $(seq 1 50); do
    [ -s "$work/port" ] && break
    sleep 0.1
done
tools/wine-env.sh "$build_dir" "$0" --inside "$build_dir" "$(cat "$work/port")"
