#!/usr/bin/env bash
# Takes the screenshots of the configuration sheet's pages:
#   tools/screenshot-config.sh <cross-build-dir> [output-dir]
# writes <output-dir>/config-connection.png and config-notification.png (default docs/).
# Needs the targets zv-config-demo and zv-desktop-keeper built in that directory.
set -euo pipefail
build_dir=$1
out_dir=${2:-docs}
here=$(cd "$(dirname "$0")/.." && pwd)
demo="$(cd "$build_dir" && pwd)/tools/zv-config-demo.exe"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$here/tools/wine-env.sh" "$build_dir" bash -c '
    for page in 0 1; do
        wine "$1" "$page" 4 </dev/null >"$2/rect$page" 2>/dev/null &
        sleep 3
        import -window root "$2/raw$page.png"
        wait
    done' _ "$demo" "$work"
convert "$work/raw0.png" -crop "$(tr -d '\r' <"$work/rect0")" +repage "$out_dir/config-connection.png"
convert "$work/raw1.png" -crop "$(tr -d '\r' <"$work/rect1")" +repage "$out_dir/config-notification.png"
