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

# Builds quietly, but shows the end of the log when the build fails.
build() {
    local dir=$1 log=$1.log
    shift
    if ! cmake --build "$dir" -j"$jobs" "$@" >"$log" 2>&1; then
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

stage "host build (ASan+UBSan)"
cmake -S . -B build/host -DCMAKE_BUILD_TYPE=Debug -DZAVORA_SANITIZE=ON >/dev/null
build build/host

cmake -S . -B build/cross -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
    -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
    windows_tests=build/cross
    stage "cross build (PE32)"
    build build/cross
else
    # A machine whose kernel runs no 32-bit programs cannot run 32-bit Wine: the same
    # sources built as 64-bit programs run the Windows tests there, and of the 32-bit tree
    # only the agent and its installer are built, and the agent's size checked.
    windows_tests=build/cross64
    stage "no 32-bit Wine here: 64-bit build for the Windows tests"
    cmake -S . -B build/cross64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake \
        -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
    build build/cross64
fi

stage "system tests' fault runs and host tests, in the background"
# Both mostly wait: the fault runs for the agent and the servers, the host tests for the
# real network time limits. The fault runs take a second Wine environment of their own,
# its prefix a copy of the first, and run beside everything that follows.
tools/wine-env.sh "$windows_tests" true
faults_state="$windows_tests/wine-faults"
if [ ! -f "$faults_state/prefix/.zavora-ready" ]; then
    rm -rf "$faults_state"
    mkdir -p "$faults_state"
    cp -a "$windows_tests/wine/prefix" "$faults_state/prefix"
fi
start_background system-faults env ZV_WINE_STATE="$faults_state" tools/wine-env.sh \
    "$windows_tests" ctest --test-dir "$windows_tests" -R system_fault_tests --output-on-failure
start_background host-tests ctest --test-dir build/host --output-on-failure -j"$jobs"

if [ "$windows_tests" = build/cross64 ]; then
    stage "32-bit agent and installer"
    build build/cross --target ZavoraAgent installer
    count_ctest ctest --test-dir build/cross -R agent_size --output-on-failure
else
    # The x64 installer is tested on every machine: here in a 64-bit Wine environment of its
    # own, beside the rest, where the x86 installer runs too and they replace each other.
    stage "64-bit agent and x64 installer, their tests in the background"
    cmake -S . -B build/cross64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake \
        -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
    build build/cross64 --target ZavoraAgent installer zv-drive zv-desktop-keeper \
        zv-url-recorder zv-fake-ie
    count_ctest ctest --test-dir build/cross64 -R agent_size --output-on-failure
    start_background installer-tests tools/wine-env.sh build/cross64 ctest \
        --test-dir build/cross64 -R installer_tests --output-on-failure
fi

stage "host tests"
finish_background host-tests
count_ctest_log build/host-tests.out "$background_rc"

stage "Windows tests under Wine, fuzz targets beside them (short runs over the seed corpora)"
# The fuzzers take what is left of the cores, at the lowest priority.
start_background fuzz nice -n 19 tools/fuzz.sh
count_ctest tools/wine-env.sh "$windows_tests" ctest --test-dir "$windows_tests" \
    -E system_fault_tests --output-on-failure
if [ "$windows_tests" = build/cross ]; then
    finish_background installer-tests
    count_ctest_log build/installer-tests.out "$background_rc"
fi
finish_background system-faults
count_ctest_log build/system-faults.out "$background_rc"
finish_background fuzz
count_fuzz_log build/fuzz.out "$background_rc"

stage "done"
echo "test-all: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
