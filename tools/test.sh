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
# Xvfb picks a free display number and tells it through the file.
screen=$(mktemp)
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$screen" >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true; rm -f "$screen"' EXIT
for _ in $(seq 100); do [ -s "$screen" ] && break; sleep 0.1; done
[ -s "$screen" ] || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=:$(head -n 1 "$screen")

dbus-run-session -- ctest --test-dir "$build" --output-on-failure -j"$(nproc)"

# The tests again under the sanitizers (clang), and a short run of every fuzz target.
"$root/tools/hardening-test.sh"

# Nilo-VOD.exe, built with MinGW and tested under Wine.
"$root/tools/win32-test.sh"
