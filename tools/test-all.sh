#!/usr/bin/env bash
# The one command that sets up, builds and runs every test:
#   host build (portable code, AddressSanitizer + UndefinedBehaviorSanitizer),
#   cross build (the agent, its installer and the Windows tests, run under Wine and Xvfb,
#   the system tests of the real program included),
#   a short run of every libFuzzer target (clang).
# Build folders live under build/ of the repository. The last line sums up every test
# program and fuzz target: "test-all: N passed, N failed".
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash tools/setup-debian.sh

jobs=$(nproc)
mkdir -p build
passed=0
failed=0
started=$(date +%s)

stage() { echo "== $* ($(($(date +%s) - started)) s)"; }

# Builds quietly, at a low priority so that the tests running beside a build keep the cores
# they need (the fuzzers' is lower still), but shows the end of the log when the build fails.
build() {
    local dir=$1 log=$1.log
    shift
    if ! nice -n 10 cmake --build "$dir" -j"$jobs" "$@" >"$log" 2>&1; then
        tail -n 60 "$log"
        echo "build of $dir failed (whole log: $log)"
        exit 1
    fi
}

# Adds the counts of a finished ctest run, given its log and exit code, to the totals. A run
# that fails without a failed test to show for it (a broken harness) counts as one failure.
count_ctest_log() {
    local log=$1 rc=$2
    local summary bad=0 total=0
    summary=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
    if [ -n "$summary" ]; then
        bad=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$summary")
        total=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\2/' <<<"$summary")
    fi
    if [ "$rc" -ne 0 ] && [ "$bad" -eq 0 ]; then
        bad=1
        total=$((total + 1))
    fi
    passed=$((passed + total - bad))
    failed=$((failed + bad))
}

# Runs a ctest command, shows its output, and adds its counts to the totals.
count_ctest() {
    local log rc=0
    log=$(mktemp)
    "$@" 2>&1 | tee "$log" || rc=$?
    count_ctest_log "$log" "$rc"
    rm -f "$log"
}

# A command started in the background whose output is kept in a log; finish_background
# waits for it, shows the log and hands its exit code on.
declare -A background_pids
start_background() {
    local name=$1
    shift
    (
        rc=0
        "$@" >"build/$name.out" 2>&1 || rc=$?
        echo "$rc" >"build/$name.rc"
    ) &
    background_pids[$name]=$!
}
finish_background() {
    local name=$1
    wait "${background_pids[$name]}"
    cat "build/$name.out"
    background_rc=$(cat "build/$name.rc")
}

# Counts one check that passed (exit code 0) or failed.
count_result() {
    if [ "$1" -eq 0 ]; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
    fi
}

# Adds the counts of a finished fuzz run, given its log and exit code, to the totals.
count_fuzz_log() {
    local log=$1 rc=$2 bad
    bad=$(grep -c '^fuzz: .* FAILED' "$log" || true)
    if [ "$rc" -ne 0 ] && [ "$bad" -eq 0 ]; then
        bad=1
    fi
    passed=$((passed + $(grep -c '^fuzz: .*: Done ' "$log" || true)))
    failed=$((failed + bad))
}

cmake -S . -B build/host -DCMAKE_BUILD_TYPE=Debug -DZAVORA_SANITIZE=ON >/dev/null
cmake -S . -B build/cross -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
    -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
cmake -S . -B build/cross64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake \
    -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
# shellcheck source=wine-build.sh
. tools/wine-build.sh
windows_tests=$zv_wine_build
if [ "$zv_wine_arch" = win32 ]; then
    # The 64-bit agent and the x64 installer are built and tested on every machine: here
    # the installer's tests run in a 64-bit Wine environment of their own, where the x86
    # installer runs too and the two replace each other.
    other_tree=build/cross64
    other_targets=(--target ZavoraAgent installer zv-drive zv-desktop-keeper zv-url-recorder
        zv-fake-ie)
    stage "cross build (PE32) for the Windows tests"
else
    # A machine whose kernel runs no 32-bit programs cannot run 32-bit Wine: the same
    # sources built as 64-bit programs run the Windows tests there, and the whole 32-bit
    # tree is built with warnings as errors, tests and tools included, its agent's size
    # checked.
    other_tree=build/cross
    other_targets=()
    stage "no 32-bit Wine here: 64-bit build for the Windows tests"
fi
# A Wine environment of its own for work that runs beside the Windows tests: its prefix is a
# copy of theirs. Prints the folder to hand to tools/wine-env.sh as ZV_WINE_STATE.
wine_state_copy() {
    local state="$windows_tests/wine-$1"
    if [ ! -f "$state/prefix/.zavora-ready" ]; then
        rm -rf "$state"
        mkdir -p "$state"
        cp -a "$windows_tests/wine/prefix" "$state/prefix"
    fi
    echo "$state"
}

# Wine makes the tests' environment, and the copies for the runs beside them, on one core
# while the build uses both.
prepare_wine() {
    tools/wine-env.sh "$windows_tests" true
    local name
    for name in faults servers demo installers; do
        wine_state_copy "$name" >/dev/null
    done
}
start_background wine-prefix prepare_wine
build "$windows_tests"
finish_background wine-prefix
[ "$background_rc" -eq 0 ] || exit 1

stage "Windows tests, system tests' fault and server runs, the demo and fuzzers in the background"
# Most of them wait: for the agent, for the servers and for the network time limits. Each
# run that starts Wine has an environment of its own. The builds below take what is left of
# the cores at a low priority, the fuzzers at the lowest.
installers_state=$(wine_state_copy installers)
start_background windows-tests tools/wine-env.sh "$windows_tests" ctest \
    --test-dir "$windows_tests" -E "system_fault_tests|system_server_tests|installer_tests" \
    --output-on-failure
for run in fault server; do
    start_background "system-${run}s" env ZV_WINE_STATE="$(wine_state_copy "${run}s")" \
        tools/wine-env.sh "$windows_tests" ctest --test-dir "$windows_tests" \
        -R "system_${run}_tests" --output-on-failure
done
start_background demo env -u DISPLAY ZV_WINE_STATE="$(wine_state_copy demo)" \
    ZV_BUILD_DIR="$windows_tests" tools/run-demo.sh --first-alert
start_background fuzz nice -n 19 tools/fuzz.sh 10

stage "host build (ASan+UBSan), its tests in the background"
build build/host
start_background host-tests ctest --test-dir build/host --output-on-failure -j"$jobs"

stage "the other cross tree ($other_tree), its agent's size and the installers' tests"
build "$other_tree" "${other_targets[@]}"
count_ctest ctest --test-dir "$other_tree" -R agent_size --output-on-failure
if [ "$windows_tests" = build/cross ]; then
    count_ctest tools/wine-env.sh build/cross64 ctest --test-dir build/cross64 \
        -R installer_tests --output-on-failure
fi
count_ctest env ZV_WINE_STATE="$installers_state" tools/wine-env.sh \
    "$windows_tests" ctest --test-dir "$windows_tests" -R installer_tests --output-on-failure

stage "waiting for the background runs"
for run in host-tests windows-tests system-faults system-servers; do
    finish_background "$run"
    count_ctest_log "build/$run.out" "$background_rc"
done
finish_background fuzz
count_fuzz_log build/fuzz.out "$background_rc"
finish_background demo
count_result "$background_rc"

stage "done"
echo "test-all: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
