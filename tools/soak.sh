#!/usr/bin/env bash
# The soak: the real agent under Wine against a local nginx, for many polls.
#   tools/soak.sh [polls]      (default 2000; ZV_CROSS_DIR names the cross build, by default
#                               the one Wine runs here)
# Each poll is a Refresh that in turn finds a new edition (shown in the popup), an unchanged
# list or a failure (404), followed by Disable, Enable and a tray menu opened and closed.
# Prints the agent's private memory at poll 200 (poll polls/10 in shorter runs) and at the
# end, its growth (under 1 MiB), and the live GDI/USER object counts of its wrappers, which must come back to
# their baseline. Exits non-zero when a check fails.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
polls=${1:-2000}
# shellcheck source=wine-build.sh
. "$root/tools/wine-build.sh"
cross=$(cd "${ZV_CROSS_DIR:-$root/$zv_wine_build}" && pwd)

# Outside: build what is needed, then come back inside the Wine environment with nginx.
if [ -z "${ZV_SOAK_INSIDE:-}" ]; then
    cmake --build "$cross" -j2 --target ZavoraAgent zv-soak-drive zv-drive zv-desktop-keeper \
        >/dev/null
    export ZV_SOAK_INSIDE=1
    exec "$root/tools/wine-env.sh" "$cross" \
        python3 "$root/tests/servers/with_servers.py" --nginx -- "$0" "$polls"
fi

# Inside (also the entry of the short soak test, which runs in the caller's environment).
if [ -z "${ZV_NGINX_PORT:-}" ]; then
    exec python3 "$root/tests/servers/with_servers.py" --nginx -- "$0" "$polls"
fi
# shellcheck source=../bench/footprint/footprint-lib.sh
. "$root/bench/footprint/footprint-lib.sh"

agent_exe="$cross/src/core/ZavoraAgent.exe"
drive="$cross/tools/zv-drive.exe"
# Sounds cannot be heard here and would only slow the run; the popup is part of the soak.
point_agent_at_nginx alertByMessage 1 alertBySystemSound 0 alertByUserSound 0
agent_pid=$(start_windows_program "$agent_exe") || { echo "soak: the agent did not start"; exit 1; }
stop_agent() {
    quiet wine "$drive" command exit
    quiet wine "$drive" wait-gone 20000 || kill "$agent_pid" 2>/dev/null || true
}
trap stop_agent EXIT
quiet wine "$drive" wait-window 15000 || { echo "soak: no agent window"; exit 1; }

echo "soak: $polls polls, agent Linux pid $agent_pid"
news_file="Z:$(echo "$ZV_NEWS_FILE" | tr / '\\')"
checkpoint=$((polls / 10 < 200 ? polls / 10 : 200))
status=0
wine "$cross/bench/footprint/zv-soak-drive.exe" "$news_file" "$polls" "$agent_pid" "$checkpoint" \
    </dev/null | tr -d '\r' || status=$?
exit $status
