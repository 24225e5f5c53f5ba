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
runs=${1:-300}

if [ "${ZV_BENCH_HTTPS_INSIDE:-}" = 1 ]; then
    # Inside tools/wine-env.sh and with_servers.py: ZV_NGINX_TLS_PORT, ZV_NEWS_PATH, ZV_TLS_CA.
    url="https://localhost:$ZV_NGINX_TLS_PORT$ZV_NEWS_PATH"
    agent_ms=$(wine "$2" "$runs" | tr -d '\r')
    curl_ms=$(for _ in $(seq "$runs"); do
        curl -s -0 --no-sessionid --cacert "$ZV_TLS_CA" -I "$url" -o /dev/null \
            -w '%{time_total}\n' --next -s -0 --no-sessionid --cacert "$ZV_TLS_CA" "$url" \
            -o /dev/null -w '%{time_total}\n' | awk '{ sum += $1 } END { print sum * 1000 }'
    done | sort -n | awk '{ value[NR] = $1 } END { print value[int(NR / 2) + 1] }')
    echo "HTTPS runs                             $runs"
    echo "agent HTTPS poll, in process (median)  $agent_ms ms"
    echo "curl HTTPS HEAD+GET, transfers         $curl_ms ms"
    awk -v a="$agent_ms" -v c="$curl_ms" \
        'BEGIN { printf "ratio agent / curl HTTPS transfers     %.2f (goal: at most 3)\n", a / c }'
    exit 0
fi

build=${ZV_BENCH_BUILD:-build/bench}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DZAVORA_SANITIZE=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target zv-bench-poll >/dev/null
python3 tests/servers/with_servers.py --nginx -- "$build/bench/zv-bench-poll" "$runs"

cross=${ZV_CROSS_DIR:-build/cross}
cmake -S . -B "$cross" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
    -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
cmake --build "$cross" -j"$(nproc)" \
    --target zv-bench-https-poll zv-trust-root zv-desktop-keeper >/dev/null
tools/wine-env.sh "$cross" env ZV_BENCH_HTTPS_INSIDE=1 \
    python3 tests/servers/with_servers.py --nginx --tls --trust "$cross/tools/zv-trust-root.exe" \
    -- bash tools/bench-poll.sh "$((runs / 3 > 0 ? runs / 3 : 1))" \
    "$cross/bench/zv-bench-https-poll.exe"
