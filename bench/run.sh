#!/usr/bin/env bash
# Builds nilo-vod and runs the kiosk benchmark beside Debian's Chromium.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${NILO_BUILD_DIR:-$root/build/bench}

"$root/tools/install-deps.sh" desktop
command -v chromium >/dev/null || {
  sudo=""; [ "$(id -u)" -ne 0 ] && sudo="sudo"
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends chromium
}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DNILO_BUILD_GTK=ON -DNILO_BUILD_TESTS=OFF
cmake --build "$build" -j"$(nproc)" --target nilo-vod
exec python3 "$root/bench/kiosk_bench.py" --program "$build/platform/gtk/nilo-vod" "$@"
