#!/usr/bin/env bash
# Takes the screenshot of the popup over the taskbar (docs/popup.png):
#   tools/screenshot-popup.sh <cross-build-dir> [output.png]
# Needs the targets zv-popup-demo and zv-desktop-keeper built in that directory.
set -euo pipefail
build_dir=$1
out=${2:-docs/popup.png}
here=$(cd "$(dirname "$0")/.." && pwd)
demo="$(cd "$build_dir" && pwd)/tools/zv-popup-demo.exe"
raw=$(mktemp --suffix=.png)
trap 'rm -f "$raw"' EXIT
"$here/tools/wine-env.sh" "$build_dir" bash -c '
    wine "$1" 8 </dev/null >/dev/null 2>&1 &
    # One second for the taskbar, then 24 steps of 15 ms and some slack.
    sleep 3
    import -window root "$2"
    wait' _ "$demo" "$raw"
# The bottom right corner: the popup, and the taskbar it comes out of.
convert "$raw" -crop 420x260+604+508 +repage "$out"
