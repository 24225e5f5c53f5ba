#!/usr/bin/env bash
# The poll benchmark: the agent's HEAD+GET of a small news list against a local nginx, in
# process (optimised host build), next to curl doing the same two requests; then the same
# over HTTPS, where the agent's poll runs through the system's TLS under Wine (cross build)
# and curl makes the same two HTTPS requests, each on a new connection with a full
# handshake, as the agent does.
#   tools/bench-poll.sh [runs]      (default 300; the HTTPS part runs a third as many)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

# Medians over runs of curl's HEAD+GET of url (HTTP/1.0, so each request closes its
# connection, as the agent's do): "<its own transfer times> <its process wall time>" in ms.
curl_medians() { # runs url [curl options...]
    local runs=$1 url=$2 start transfer times
    shift 2
    times=$(for _ in $(seq "$runs"); do
        start=$EPOCHREALTIME
        transfer=$(curl -s -0 "$@" -I "$url" -o /dev/null -w '%{time_total}\n' \
            --next -s -0 "$@" "$url" -o /dev/null -w '%{time_total}\n' |
            awk '{ sum += $1 } END { print sum * 1000 }')
        awk -v t="$transfer" -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN { print t, (b - a) * 1000 }'
    done)
    echo "$(median 1 <<<"$times") $(median 2 <<<"$times")"
}

# The median of one column of the numbers on stdin.
median() {
    sort -g -k "$1,$1" | awk -v c="$1" '{ value[NR] = $c } END { print value[int(NR / 2) + 1] }'
}

# Inside with_servers.py (and tools/wine-env.sh for HTTPS): ZV_NGINX_PORT,
# ZV_NGINX_TLS_PORT, ZV_NEWS_PATH and ZV_TLS_CA are set.
#   bench-poll.sh --inside http|https runs <command that runs zv-bench-poll...>
if [ "${1:-}" = "--inside" ]; then
    scheme=$2 runs=$3
    shift 3
    if [ "$scheme" = https ]; then
        label="HTTPS "
        url="https://localhost:$ZV_NGINX_TLS_PORT$ZV_NEWS_PATH"
        curl_options=(--no-sessionid --cacert "$ZV_TLS_CA")
    else
        label=""
        url="http://127.0.0.1:$ZV_NGINX_PORT$ZV_NEWS_PATH"
        curl_options=()
    fi
    agent_ms=$("$@" "$scheme" "$runs" | tr -d '\r')
    read -r transfer_ms wall_ms < <(curl_medians "$runs" "$url" "${curl_options[@]}")
    printf '%-42s %s\n' "${label}runs" "$runs" \
        "agent ${label}poll, in process (median)" "$agent_ms ms" \
        "curl ${label}HEAD+GET, its transfer times" "$transfer_ms ms" \
        "curl ${label}HEAD+GET, process wall time" "$wall_ms ms"
    awk -v a="$agent_ms" -v t="$transfer_ms" -v w="$wall_ms" -v l="$label" 'BEGIN {
        printf "%-42s %.2f (goal: at most 3)\n", "ratio agent / curl " l "transfers", a / t
        printf "%-42s %.2f\n", "ratio agent / curl " l "process", a / w }'
    exit 0
fi

runs=${1:-300}
build=${ZV_BENCH_BUILD:-build/bench}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DZAVORA_SANITIZE=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target zv-bench-poll >/dev/null
python3 tests/servers/with_servers.py --nginx -- \
    bash tools/bench-poll.sh --inside http "$runs" "$build/bench/zv-bench-poll"

# The build that Wine runs on this machine, unless ZV_CROSS_DIR names one.
# shellcheck source=wine-build.sh
. tools/wine-build.sh
cross=${ZV_CROSS_DIR:-$zv_wine_build}
if [ ! -f "$cross/CMakeCache.txt" ]; then
    cmake -S . -B "$cross" -DCMAKE_TOOLCHAIN_FILE="$zv_wine_toolchain" \
        -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
fi
cmake --build "$cross" -j"$(nproc)" --target zv-bench-poll zv-trust-root zv-desktop-keeper >/dev/null
tools/wine-env.sh "$cross" \
    python3 tests/servers/with_servers.py --nginx --tls --trust "$cross/tools/zv-trust-root.exe" \
    -- bash tools/bench-poll.sh --inside https "$((runs / 3 > 0 ? runs / 3 : 1))" \
    wine "$cross/bench/zv-bench-poll.exe"
