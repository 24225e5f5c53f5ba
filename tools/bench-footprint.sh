#!/usr/bin/env bash
# The footprint benchmark: figures and ratios, not a timed test.
#   tools/bench-footprint.sh      (ZV_CROSS_DIR names the cross build; default: the one Wine runs here)
# Under Wine, against a local nginx, next to our bare tray program (an icon and a timer,
# nothing else) measured in the same run:
#   - the size of ZavoraAgent.exe (goal: at most 300 KB);
#   - private memory (anonymous resident memory of the Linux process) of the idle agent
#     after its first poll (goal: at most 2x the bare tray program);
#   - CPU ticks over 60 s idle, over 60 s while new postings blink, and over 20 s while a
#     poll hangs on a silent server and the connecting animation runs (goal: 0 idle);
# then runs tools/bench-poll.sh (poll time next to curl) when it exists.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=wine-build.sh
. "$root/tools/wine-build.sh"
cross=$(cd "${ZV_CROSS_DIR:-$root/$zv_wine_build}" && pwd)
idle_seconds=${ZV_IDLE_SECONDS:-60}

if [ -z "${ZV_BENCH_INSIDE:-}" ]; then
    cmake --build "$cross" -j2 --target ZavoraAgent zv-bare-tray zv-drive zv-desktop-keeper \
        >/dev/null
    ZV_BENCH_INSIDE=1 "$root/tools/wine-env.sh" "$cross" \
        python3 "$root/tests/servers/with_servers.py" --nginx --fault -- "$0"
    if [ -x "$root/tools/bench-poll.sh" ]; then
        echo "== poll time against curl (tools/bench-poll.sh)"
        "$root/tools/bench-poll.sh"
    fi
    exit 0
fi

# shellcheck source=../bench/footprint/footprint-lib.sh
. "$root/bench/footprint/footprint-lib.sh"
agent_exe="$cross/src/core/ZavoraAgent.exe"
bare_exe="$cross/bench/footprint/zv-bare-tray.exe"
drive="$cross/tools/zv-drive.exe"
hz=$(getconf CLK_TCK)

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "n/a" }'; }

# CPU ticks that each of the given Linux processes uses over the given seconds.
ticks_over() {
    local seconds=$1 pid
    shift
    local before=()
    for pid in "$@"; do before+=("$(cpu_ticks "$pid")"); done
    sleep "$seconds"
    local i=0
    for pid in "$@"; do
        echo -n "$(($(cpu_ticks "$pid") - before[i])) "
        i=$((i + 1))
    done
    echo
}

stop_agent() {
    quiet wine "$drive" command exit
    quiet wine "$drive" wait-gone 20000 || kill "$1" 2>/dev/null || true
}

agent_size=$(stat -c %s "$agent_exe")
bare_size=$(stat -c %s "$bare_exe")
echo "== size"
echo "ZavoraAgent.exe $agent_size bytes ($((agent_size / 1024)) KiB; goal at most 300 KB):" \
    "$(ratio "$agent_size" 307200) of the goal"
echo "zv-bare-tray.exe $bare_size bytes"

point_agent_at_nginx
bare_pid=$(start_windows_program "$bare_exe")
agent_pid=$(start_windows_program "$agent_exe")
trap 'stop_agent "$agent_pid"; kill "$bare_pid" 2>/dev/null || true' EXIT
quiet wine "$drive" wait-window 15000
wait_registry_value "$data_key" epoch 30 || { echo "the agent's first poll stored nothing"; exit 1; }
# The first poll found news: the popup slides out, holds for ten seconds and slides back.
sleep 15

echo "== CPU ticks (1 tick = $((1000 / hz)) ms)"
read -r agent_ticks bare_ticks < <(ticks_over "$idle_seconds" "$agent_pid" "$bare_pid")
echo "new postings blinking, ${idle_seconds} s: agent $agent_ticks, bare tray $bare_ticks"
# Opening and closing the entries menu tells the agent the news was seen: the blinking stops.
quiet wine "$drive" tray left
quiet wine "$drive" close-menu 3000
quiet wine "$drive" wait-menu-gone 3000
sleep 1
read -r agent_ticks bare_ticks < <(ticks_over "$idle_seconds" "$agent_pid" "$bare_pid")
echo "idle, ${idle_seconds} s: agent $agent_ticks, bare tray $bare_ticks (goal: agent 0)"

echo "== private memory after the first poll (KiB)"
read -r agent_anon agent_dirty < <(private_memory_kib "$agent_pid")
read -r bare_anon bare_dirty < <(private_memory_kib "$bare_pid")
echo "anonymous: agent $agent_anon, bare tray $bare_anon, ratio $(ratio "$agent_anon" "$bare_anon") (goal at most 2)"
echo "private dirty: agent $agent_dirty, bare tray $bare_dirty, ratio $(ratio "$agent_dirty" "$bare_dirty")"
echo "the agent's largest anonymous parts (KiB): heaps and stacks, then the DLLs it loaded"
awk '/^[0-9a-f]+-[0-9a-f]+ / { name = $6 == "" ? "[anonymous]" : $6 }
     /^Anonymous:/ { kib[name] += $2 }
     END { for (n in kib) if (kib[n] >= 64) print kib[n], n }' "/proc/$agent_pid/smaps" |
    sort -rn | head -n 8 | sed 's|/usr/lib/i386-linux-gnu/wine/i386-windows/||; s/^/  /'

# A poll that hangs on a server that accepts and never answers: the connecting animation
# runs until the read time limit. Exit would wait for that poll, so this agent is killed.
stop_agent "$agent_pid"
point_agent_at_nginx urlPort "$ZV_FAULT_SILENT_PORT"
agent_pid=$(start_windows_program "$agent_exe")
quiet wine "$drive" wait-window 15000
sleep 2
read -r agent_ticks bare_ticks < <(ticks_over 20 "$agent_pid" "$bare_pid")
echo "connecting animation (poll hanging), 20 s: agent $agent_ticks, bare tray $bare_ticks"
kill "$agent_pid" 2>/dev/null || true
trap 'kill "$bare_pid" 2>/dev/null || true' EXIT
