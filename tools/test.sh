#!/usr/bin/env bash
# Builds everything and runs every test. Installs what a fresh Debian machine lacks.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${NILO_BUILD_DIR:-$root/build/test}

"$root/tools/install-deps.sh" build

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNILO_BUILD_TESTS=ON
cmake --build "$build" -j"$(nproc)"
ctest --test-dir "$build" --output-on-failure -j"$(nproc)"
