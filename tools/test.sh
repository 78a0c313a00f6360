#!/usr/bin/env bash
# Builds everything and runs every test. Installs what a fresh Debian machine
# lacks. The desktop tests run on a virtual screen (Xvfb) of their own.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${NILO_BUILD_DIR:-$root/build/test}

"$root/tools/install-deps.sh" desktop

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNILO_BUILD_TESTS=ON -DNILO_BUILD_GTK=ON
cmake --build "$build" -j"$(nproc)"

# A screen for the GTK and end-to-end tests; nothing else may be shown on it.
display=:$((90 + RANDOM % 9))
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
for _ in $(seq 50); do xdpyinfo -display "$display" >/dev/null 2>&1 && break; sleep 0.1; done
export DISPLAY=$display

dbus-run-session -- ctest --test-dir "$build" --output-on-failure -j"$(nproc)"

# Nilo-VOD.exe, built with MinGW and tested under Wine.
"$root/tools/win32-test.sh"
