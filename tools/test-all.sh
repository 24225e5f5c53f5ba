#!/usr/bin/env bash
# The one command that sets up, builds and runs every test:
#   host build (portable code, AddressSanitizer + UndefinedBehaviorSanitizer),
#   cross build (the agent and the Windows tests, run under Wine and Xvfb),
#   a short run of every libFuzzer target (clang).
# Build folders live under build/ of the repository.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash tools/setup-debian.sh

jobs=$(nproc)
status=0

echo "== host build (ASan+UBSan)"
cmake -S . -B build/host -DCMAKE_BUILD_TYPE=Debug -DZAVORA_SANITIZE=ON >/dev/null
cmake --build build/host -j"$jobs" >/dev/null
ctest --test-dir build/host --output-on-failure -j"$jobs" || status=1

echo "== cross build (PE32) and Windows tests under Wine"
cmake -S . -B build/cross -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
    -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
cmake --build build/cross -j"$jobs" >/dev/null
tools/wine-env.sh build/cross ctest --test-dir build/cross --output-on-failure || status=1

echo "== fuzz targets (short run over the seed corpora)"
tools/fuzz.sh || status=1

exit $status
