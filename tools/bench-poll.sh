#!/usr/bin/env bash
# The poll benchmark: the agent's HEAD+GET of a small news list against a local nginx, in
# process (optimised host build), next to curl doing the same two requests.
#   tools/bench-poll.sh [runs]      (default 300)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
build=${ZV_BENCH_BUILD:-build/bench}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DZAVORA_SANITIZE=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target zv-bench-poll >/dev/null
exec python3 tests/servers/with_servers.py --nginx -- "$build/bench/zv-bench-poll" "${1:-300}"
