#!/usr/bin/env bash
# Builds the hardening configuration with clang: every test and the fuzz
# targets, under AddressSanitizer, UndefinedBehaviorSanitizer and
# LeakSanitizer. Prints the build folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${NILO_HARDENING_DIR:-$root/build/hardening}

"$root/tools/install-deps.sh" hardening >&2
cmake -S "$root" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DNILO_SANITIZE=ON -DNILO_BUILD_FUZZERS=ON -DNILO_BUILD_TESTS=ON -DNILO_BUILD_GTK=OFF >&2
cmake --build "$build" -j"$(nproc)" >&2
echo "$build"
