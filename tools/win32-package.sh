#!/usr/bin/env bash
# Packs the 32-bit Nilo-VOD.exe with sample config.ini and config_url.ini
# into a zip, the way a seat receives it.
#   tools/win32-package.sh [NILO_VOD_EXE] [OUTPUT_ZIP]
# Without arguments it uses (and if need be builds) build/win32/i686.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${NILO_WIN32_BUILD_DIR:-$root/build/win32}
exe=${1:-$build/i686/Nilo-VOD.exe}
out=${2:-$build/Nilo-VOD-1.0.0.1.zip}

if [ ! -f "$exe" ]; then
  cmake -S "$root/platform/win32" -B "$build/i686" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
    -DNILO_BUILD_WIN32_TESTS=OFF >/dev/null
  cmake --build "$build/i686" --target Nilo-VOD -j2
fi

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir "$stage/Nilo-VOD"
cp "$exe" "$stage/Nilo-VOD/Nilo-VOD.exe"
# The seat needs no debugging information.
i686-w64-mingw32-strip "$stage/Nilo-VOD/Nilo-VOD.exe" 2>/dev/null || true
# The two INI files beside the program, with Windows line ends.
printf '[CONFIG]\r\n; 1: the first default server, 2: the second\r\nurl_num=1\r\n' >"$stage/Nilo-VOD/config_url.ini"
printf '%s\r\n' '[CONFIG]' \
  '; buttons in the top-right corner' 'show_minimize=0' 'show_close=0' \
  '; VOD.log beside the program' 'enable_log=1' \
  '; F9 ends the program' 'enable_closekey=0' \
  '; 0 none, 1 certification file, 2 registry (HKCU\SOFTWARE\Orvane\Client PCName, PCNo)' 'certify_type=0' \
  '; seconds between re-certifications' 'certify_interval=10' \
  'certify_file_path=C:\connect_certify.txt' \
  '; empty: the default server chosen by url_num' 'server_url=' >"$stage/Nilo-VOD/config.ini"

mkdir -p "$(dirname "$out")"
rm -f "$out"
(cd "$stage" && zip -q -r -X "$out" Nilo-VOD)
echo "$out"
