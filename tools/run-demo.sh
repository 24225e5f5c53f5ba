#!/usr/bin/env bash
# Shows the agent at work against a demo news site on this machine:
#   tools/run-demo.sh
# Installs what is missing (Debian), builds the agent (build/cross, or $ZV_BUILD_DIR),
# starts the demo site
# (tools/demo-site.py, a new edition every minute), points the agent's registry settings at
# it with a poll every minute, and runs the agent under Wine: on your X display when
# $DISPLAY works, otherwise on a private Xvfb. After each alert a screenshot of the desktop
# goes to out/demo/. Ctrl+C ends the agent, the site and Wine; nothing is left running.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

build_dir=${ZV_BUILD_DIR:-build/cross}

say() { echo "demo: $*"; }

# Runs inside tools/wine-env.sh: DISPLAY and WINEPREFIX are set, the desktop is up.
run_agent() {
    local port=$1 site_log=$2 out_dir=$3
    local agent=$build_dir/src/core/ZavoraAgent.exe
    local drive=$build_dir/tools/zv-drive.exe
    local agent_pid="" seen_gets=0 shots=0
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

    say "starting the agent on display $DISPLAY"
    # A session of its own keeps Ctrl+C from the terminal away from the agent, which Wine
    # would end at once; the trap below asks it to exit as the user would.
    setsid wine "$agent" </dev/null >/dev/null 2>&1 &
    agent_pid=$!
    wine "$drive" wait-window 15000 </dev/null >/dev/null 2>&1 ||
        { say "the agent did not start"; return 1; }
    say "the agent runs; it polls one second after start, then every minute (Ctrl+C ends)"

    # Each GET of the news list fetches a new edition; the popup has slid out two
    # seconds later.
    while kill -0 "$agent_pid" 2>/dev/null; do
        local gets
        gets=$(grep -c ' GET /.newsupdate ' "$site_log" || true)
        if [ "$gets" -gt "$seen_gets" ]; then
            seen_gets=$gets
            sleep 2
            shots=$((shots + 1))
            local shot
            shot="$out_dir/alert-$(printf %02d "$shots")-$(date +%H%M%S).png"
            import -window root "$shot" && say "new edition fetched; screenshot $shot"
        fi
        sleep 1 &
        wait $! || true
    done
    say "the agent has ended"
}

if [ "${1:-}" = "--inside" ]; then
    shift
    run_agent "$@"
    exit $?
fi

say "checking the Debian packages (tools/setup-debian.sh)"
bash tools/setup-debian.sh

say "building the agent in $build_dir"
cmake -S . -B "$build_dir" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
    -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
cmake --build "$build_dir" -j2 --target ZavoraAgent zv-desktop-keeper zv-drive >/dev/null

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
tools/wine-env.sh "$build_dir" "$0" --inside "$port" "$site_log" "$out_dir" || true
say "done; screenshots are in $out_dir"
