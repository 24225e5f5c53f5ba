#!/usr/bin/env bash
# Shows the agent at work against a demo news site on this machine:
#   tools/run-demo.sh [--first-alert]
# Installs what is missing (Debian), builds the agent (the build that Wine runs here, see
# tools/wine-build.sh; $ZV_BUILD_DIR names another, already configured build), starts the demo
# site (tools/demo-site.py: its first edition at once, then a new one every minute), points
# the agent's registry settings at it with a poll every minute, and runs the agent under
# Wine: on your X display when $DISPLAY works, otherwise on a private Xvfb. After each alert
# a screenshot of the desktop goes to out/demo/. Ctrl+C ends the agent, the site and Wine;
# nothing is left running.
#
# With --first-alert the demo ends after the first alert and its screenshot. The exit code is
# 0 when every edition fetched so far brought an alert, and not 0 when the agent did not
# start, ended by itself, or showed no alert for the first two editions.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

say() { echo "demo: $*"; }

# Runs inside tools/wine-env.sh: DISPLAY and WINEPREFIX are set, the desktop is up.
run_agent() {
    local build_dir=$1 port=$2 site_log=$3 out_dir=$4 first_alert=$5
    local agent=$build_dir/src/core/ZavoraAgent.exe
    local drive=$build_dir/tools/zv-drive.exe
    local agent_pid="" seen_gets=0 alerts=0
    # shellcheck source=/dev/null
    . "$build_dir/generated/agent_contract.sh"
    local settings_key="HKCU\\$REG_SETTINGS_KEY" data_key="HKCU\\$REG_DATA_KEY"

    stop_agent() {
        trap - INT TERM
        if [ -n "$agent_pid" ] && kill -0 "$agent_pid" 2>/dev/null; then
            say "asking the agent to exit"
            wine "$drive" command exit </dev/null >/dev/null 2>&1 || true
            for _ in $(seq 1 100); do
                kill -0 "$agent_pid" 2>/dev/null || break
                sleep 0.1
            done
            kill "$agent_pid" 2>/dev/null || true
            wait "$agent_pid" 2>/dev/null || true
        fi
        say "agent stopped"
    }
    trap 'stop_agent; exit 0' INT TERM

    say "settings: urlHost 127.0.0.1, urlPort $port, urlPath /.newsupdate, pollingDelay 1"
    wine reg delete "$data_key" /f </dev/null >/dev/null 2>&1 || true
    local name value pair
    for pair in urlHost=127.0.0.1 "urlPort=$port" urlPath=/.newsupdate pollingDelay=1 \
        alertByMessage=1 alertBySystemSound=1 newEntriesFlag=0; do
        name=${pair%%=*}
        value=${pair#*=}
        wine reg add "$settings_key" /v "$name" /d "$value" /f </dev/null >/dev/null 2>&1
    done

    say "starting the agent ($zv_wine_arch build) on display $DISPLAY"
    # A session of its own keeps Ctrl+C from the terminal away from the agent, which Wine
    # would end at once; the trap below asks it to exit as the user would.
    setsid wine "$agent" </dev/null >/dev/null 2>&1 &
    agent_pid=$!
    if ! wine "$drive" wait-window 15000 </dev/null >/dev/null 2>&1; then
        say "the agent did not start: no window of it within 15 s"
        return 1
    fi
    say "the agent runs; it polls one second after start, then every minute (Ctrl+C ends)"

    # Each GET of the news list fetches a new edition, and its alert slides out the popup.
    while kill -0 "$agent_pid" 2>/dev/null; do
        local gets
        gets=$(grep -c ' GET /.newsupdate ' "$site_log" || true)
        if [ "$gets" -gt "$seen_gets" ]; then
            seen_gets=$gets
            if popup_settled "$drive" 15; then
                alerts=$((alerts + 1))
                local shot
                shot="$out_dir/alert-$(printf %02d "$alerts")-$(date +%H%M%S).png"
                import -window root "$shot"
                say "new edition fetched and shown; screenshot $shot"
                if [ "$first_alert" = 1 ]; then
                    stop_agent
                    return 0
                fi
            else
                say "edition $seen_gets was fetched, but no popup came"
                if [ "$seen_gets" -ge 2 ] && [ "$alerts" -eq 0 ]; then
                    say "no alert for the first two editions"
                    stop_agent
                    return 1
                fi
            fi
        fi
        sleep 1 &
        wait $! || true
    done
    say "the agent has ended by itself"
    return 1
}

# Waits up to the given seconds for the popup to be out and still (two reads in a row give
# the same place).
popup_settled() {
    local drive=$1 seconds=$2 last="" now
    local deadline=$((SECONDS + seconds))
    while [ "$SECONDS" -lt "$deadline" ]; do
        now=$(wine "$drive" windows </dev/null 2>/dev/null |
            grep ' visible=1 .*class=ZavoraNewsPopup ' | sed 's/.* rect=\([^ ]*\) .*/\1/' || true)
        if [ -n "$now" ] && [ "$now" = "$last" ]; then
            return 0
        fi
        last=$now
        sleep 0.3
    done
    return 1
}

if [ "${1:-}" = "--inside" ]; then
    shift
    # shellcheck source=wine-build.sh
    . tools/wine-build.sh
    run_agent "$@"
    exit $?
fi

first_alert=0
case "${1:-}" in
--first-alert) first_alert=1 ;;
"") ;;
*)
    echo "usage: tools/run-demo.sh [--first-alert]" >&2
    exit 2
    ;;
esac

say "checking the Debian packages (tools/setup-debian.sh)"
bash tools/setup-debian.sh

# shellcheck source=wine-build.sh
. tools/wine-build.sh
if [ -n "${ZV_BUILD_DIR:-}" ]; then
    build_dir=$ZV_BUILD_DIR
else
    build_dir=$zv_wine_build
    if [ -n "${ZV_WINE_ARCH:-}" ]; then
        say "ZV_WINE_ARCH chose the $zv_wine_arch build of the agent"
    elif [ "$zv_wine_arch" = win64 ]; then
        say "this machine runs no 32-bit programs: the 64-bit build of the agent runs instead"
    fi
    say "building the agent in $build_dir"
    [ -f "$build_dir/CMakeCache.txt" ] ||
        cmake -S . -B "$build_dir" -DCMAKE_TOOLCHAIN_FILE="$zv_wine_toolchain" \
            -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
fi
mkdir -p out/demo
if ! cmake --build "$build_dir" -j2 --target ZavoraAgent zv-desktop-keeper zv-drive \
    >out/demo/build.log 2>&1; then
    tail -n 30 out/demo/build.log
    say "the build failed (whole log: out/demo/build.log)"
    exit 1
fi

out_dir="$root/out/demo"
mkdir -p "$out_dir"
rm -f "$out_dir"/alert-*.png
site_log="$out_dir/site.log"
port_file="$out_dir/site.port"
rm -f "$port_file"
: >"$site_log"

site_pid=""
stop_site() {
    if [ -n "$site_pid" ]; then
        kill "$site_pid" 2>/dev/null || true
        wait "$site_pid" 2>/dev/null || true
        say "demo site stopped"
    fi
}
trap stop_site EXIT

python3 tools/demo-site.py --port-file "$port_file" >"$site_log" 2>&1 </dev/null &
site_pid=$!
for _ in $(seq 1 50); do
    [ -s "$port_file" ] && break
    sleep 0.1
done
[ -s "$port_file" ] || { say "the demo site did not start"; exit 1; }
port=$(cat "$port_file")
say "demo site on http://127.0.0.1:$port/.newsupdate (log: $site_log)"

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    say "using your display $DISPLAY"
    export ZV_HOST_DISPLAY=1
else
    say "no usable display: running on a private Xvfb; see the screenshots in $out_dir"
    unset ZV_HOST_DISPLAY
fi
status=0
tools/wine-env.sh "$build_dir" "$0" --inside "$build_dir" "$port" "$site_log" "$out_dir" \
    "$first_alert" || status=$?
if [ "$status" -eq 0 ]; then
    say "done; screenshots are in $out_dir"
else
    say "failed (exit code $status); what there is of screenshots is in $out_dir"
fi
exit "$status"
