#!/usr/bin/env bash
# Builds the libFuzzer targets (host, clang, ASan+UBSan) and runs each one over its seed
# corpus in tests/fuzz/corpus/<target>/:
#   tools/fuzz.sh [seconds-per-target]      (default 20)
# New inputs go to a scratch folder, so the committed corpus stays as it is; a crash leaves
# its input in <build>/artifacts/. The build folder is build/fuzz unless ZV_FUZZ_BUILD says.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

seconds=${1:-20}
build=${ZV_FUZZ_BUILD:-build/fuzz}
targets=$(sed -n 's/^zv_add_fuzzer(\([A-Za-z0-9_]*\).*/\1/p' tests/fuzz/CMakeLists.txt)

CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DZAVORA_FUZZ=ON -DZAVORA_SANITIZE=ON >/dev/null
# shellcheck disable=SC2086
cmake --build "$build" -j"$(nproc)" --target $targets >/dev/null

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$build/artifacts"
status=0
for target in $targets; do
    mkdir -p "$scratch/$target" "tests/fuzz/corpus/$target"
    if "$build/tests/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -artifact_prefix="$build/artifacts/$target-" \
        "$scratch/$target" "tests/fuzz/corpus/$target" >"$scratch/$target.log" 2>&1; then
        echo "fuzz: $target: $(grep -o 'Done [0-9]* runs in [0-9]* second(s)' "$scratch/$target.log")"
    else
        echo "fuzz: $target FAILED" >&2
        tail -n 40 "$scratch/$target.log" >&2
        status=1
    fi
done
exit $status
