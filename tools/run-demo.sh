#!/usr/bin/env bash
# Builds nilo-vod, starts the demo portal on 127.0.0.1:5560 with generated
# sample videos, and runs the kiosk against it. Installs what is missing.
# F9 ends the kiosk (enable_closekey=1 in the demo's config.ini).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${NILO_BUILD_DIR:-$root/build/desktop}

"$root/tools/install-deps.sh" desktop
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNILO_BUILD_GTK=ON -DNILO_BUILD_TESTS=OFF
cmake --build "$build" -j"$(nproc)" --target nilo-vod

program_dir=$(dirname "$(find "$build" -name nilo-vod -type f -perm -u+x | head -n 1)")
videos="$build/videos"
"$root/tools/make-sample-videos.sh" "$videos"

# The demo seat: a certification file the demo portal shows back.
certify="$build/connect_certify.txt"
[ -f "$certify" ] || printf 'T20261211,demo01,F,34' > "$certify"
cat > "$program_dir/config.ini" <<INI
[CONFIG]
show_minimize=1
show_close=1
enable_log=1
enable_closekey=1
certify_type=1
certify_interval=10
certify_file_path=$certify
server_url=http://127.0.0.1:5560/authsvl
INI
printf '[CONFIG]\nurl_num=0\n' > "$program_dir/config_url.ini"

if python3 -c 'import socket; socket.create_connection(("127.0.0.1", 5560), 1)' 2>/dev/null; then
  echo "Port 5560 on 127.0.0.1 is taken by another program; stop it and try again." >&2
  exit 1
fi
python3 "$root/tools/demo_portal.py" --port 5560 --videos "$videos" &
portal=$!
trap 'kill $portal 2>/dev/null || true' EXIT
for _ in $(seq 50); do
  python3 -c 'import socket; socket.create_connection(("127.0.0.1", 5560), 1)' 2>/dev/null && break
  sleep 0.1
done
kill -0 $portal 2>/dev/null || { echo "The demo portal did not start." >&2; exit 1; }

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No graphical session: running the kiosk on a virtual screen (Xvfb :99)." >&2
  Xvfb :99 -screen 0 1280x800x24 -nolisten tcp &
  xvfb=$!
  trap 'kill $portal $xvfb 2>/dev/null || true' EXIT
  export DISPLAY=:99
  sleep 1
fi
"$program_dir/nilo-vod"
echo "The kiosk ended. Its log: $program_dir/VOD.log"
