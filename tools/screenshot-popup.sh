#!/usr/bin/env bash
# Takes the screenshot of the popup over the taskbar (docs/popup.png):
#   tools/screenshot-popup.sh <cross-build-dir> [output.png] [high-contrast]
# With "high-contrast" the popup draws as under a high-contrast theme, in the colours of a
# black high-contrast scheme that the prefix gets for the run (docs/popup-high-contrast.png).
# Needs the targets zv-popup-demo and zv-desktop-keeper built in that directory.
set -euo pipefail
build_dir=$1
out=${2:-docs/popup.png}
contrast=${3:-}
here=$(cd "$(dirname "$0")/.." && pwd)
demo="$(cd "$build_dir" && pwd)/tools/zv-popup-demo.exe"
raw=$(mktemp --suffix=.png)
trap 'rm -f "$raw"' EXIT
"$here/tools/wine-env.sh" "$build_dir" bash -c '
    colours="HKCU\\Control Panel\\Colors"
    saved=$(mktemp --suffix=.reg)
    # Wine sees the host'"'"'s root as drive Z:.
    saved_windows="Z:${saved//\//\\}"
    if [ -n "$3" ]; then
        # The window, text and hyperlink colours of a black high-contrast scheme; a process
        # reads them when it starts. The prefix gets its own colours back afterwards.
        wine reg export "$colours" "$saved_windows" /y >/dev/null
        wine reg add "$colours" /v Window /d "0 0 0" /f >/dev/null
        wine reg add "$colours" /v WindowText /d "255 255 255" /f >/dev/null
        wine reg add "$colours" /v HotTrackingColor /d "255 255 0" /f >/dev/null
    fi
    wine "$1" 8 ${3:+hc} </dev/null >/dev/null 2>&1 &
    # One second for the taskbar, then 24 steps of 15 ms and some slack.
    sleep 3
    import -window root "$2"
    wait
    if [ -n "$3" ]; then
        for name in Window WindowText HotTrackingColor; do
            wine reg delete "$colours" /v "$name" /f >/dev/null 2>&1 || true
        done
        wine reg import "$saved_windows" >/dev/null
    fi
    rm -f "$saved"' _ "$demo" "$raw" "$contrast"
# The bottom right corner: the popup, and the taskbar it comes out of.
convert "$raw" -crop 420x260+604+508 +repage "$out"
