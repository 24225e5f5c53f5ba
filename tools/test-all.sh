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

# Runs a ctest command, shows its output, and adds its counts to the totals. A command that
# fails without a failed test to show for it (a broken harness) counts as one failure.
count_ctest() {
    local log rc=0
    log=$(mktemp)
    "$@" 2>&1 | tee "$log" || rc=$?
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
    rm -f "$log"
}

stage "host build (ASan+UBSan)"
cmake -S . -B build/host -DCMAKE_BUILD_TYPE=Debug -DZAVORA_SANITIZE=ON >/dev/null
build build/host
count_ctest ctest --test-dir build/host --output-on-failure -j"$jobs"

stage "cross build (PE32) and Windows tests under Wine"
cmake -S . -B build/cross -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
    -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
build build/cross
windows_tests=build/cross
if ! tools/wine-env.sh build/cross true; then
    # A machine whose kernel runs no 32-bit programs cannot run 32-bit Wine: the same
    # sources built as 64-bit programs run the Windows tests there, and the 32-bit agent is
    # still built and its size checked.
    stage "no 32-bit Wine here: Windows tests on a 64-bit build"
    cmake -S . -B build/cross64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake \
        -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
    build build/cross64
    count_ctest ctest --test-dir build/cross -R agent_size --output-on-failure
    windows_tests=build/cross64
fi
count_ctest tools/wine-env.sh "$windows_tests" ctest --test-dir "$windows_tests" --output-on-failure

stage "fuzz targets (short run over the seed corpora)"
fuzz_log=$(mktemp)
fuzz_rc=0
tools/fuzz.sh 2>&1 | tee "$fuzz_log" || fuzz_rc=$?
fuzz_bad=$(grep -c '^fuzz: .* FAILED' "$fuzz_log" || true)
if [ "$fuzz_rc" -ne 0 ] && [ "$fuzz_bad" -eq 0 ]; then
    fuzz_bad=1
fi
passed=$((passed + $(grep -c '^fuzz: .*: Done ' "$fuzz_log" || true)))
failed=$((failed + fuzz_bad))
rm -f "$fuzz_log"

stage "done"
echo "test-all: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
