# Shared by tools/soak.sh and tools/bench-footprint.sh; sourced inside tools/wine-env.sh and
# tests/servers/with_servers.py, so WINEPREFIX, DISPLAY and ZV_NGINX_PORT/ZV_NEWS_* are set.

# The agent's keys, from the contract its build generated ($cross names that build).
# shellcheck source=/dev/null
. "$cross/generated/agent_contract.sh"
settings_key="HKCU\\$REG_SETTINGS_KEY"
data_key="HKCU\\$REG_DATA_KEY"

quiet() { "$@" </dev/null >/dev/null 2>&1; }

# A clean agent branch that polls the local nginx; the rest of the arguments are extra
# "name value" pairs for the settings.
point_agent_at_nginx() {
    # The branch may not exist yet (a fresh prefix): nothing to delete is fine.
    quiet wine reg delete "HKCU\\$REG_COMPANY_KEY" /f || true
    quiet wine reg add "$settings_key" /v urlHost /d 127.0.0.1 /f
    quiet wine reg add "$settings_key" /v urlPort /d "$ZV_NGINX_PORT" /f
    quiet wine reg add "$settings_key" /v urlPath /d "$ZV_NEWS_PATH" /f
    while [ $# -ge 2 ]; do
        quiet wine reg add "$settings_key" /v "$1" /d "$2" /f
        shift 2
    done
}

# The Linux process that runs a Windows program: the launcher started as <pid> turns into
# it, or starts it as a child, depending on the Wine version.
linux_pid_of() {
    local launcher=$1 exe_name=$2 pid
    for _ in $(seq 1 100); do
        for pid in "$launcher" $(cat /proc/"$launcher"/task/*/children 2>/dev/null); do
            if tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null | grep -qi "$exe_name"; then
                echo "$pid"
                return 0
            fi
        done
        sleep 0.1
    done
    return 1
}

# Starts a Windows program in the background; prints the Linux pid that runs it.
start_windows_program() {
    local exe=$1
    wine "$exe" </dev/null >/dev/null 2>&1 &
    linux_pid_of $! "$(basename "$exe")"
}

# Anonymous and Private_Dirty resident memory in KiB: "anonymous private_dirty".
private_memory_kib() {
    awk '/^Anonymous:/ {a=$2} /^Private_Dirty:/ {d=$2} END {print a, d}' "/proc/$1/smaps_rollup"
}

# User plus system CPU time in clock ticks.
cpu_ticks() {
    awk '{print $14 + $15}' "/proc/$1/stat"
}

wait_registry_value() {
    local key=$1 name=$2 seconds=$3
    for _ in $(seq 1 $((seconds * 5))); do
        wine reg query "$key" /v "$name" </dev/null 2>/dev/null | grep -q REG_ && return 0
        sleep 0.2
    done
    return 1
}
