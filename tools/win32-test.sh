#!/usr/bin/env bash
# The Windows build and its tests: installs the cross compilers and Wine,
# builds the 32-bit Nilo-VOD.exe and its zip, builds the Windows backend's
# tests, and runs them and the end-to-end script under Wine and Xvfb.
# Exits non-zero when anything fails.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${NILO_WIN32_BUILD_DIR:-$root/build/win32}
jobs=${NILO_WIN32_JOBS:-2}

"$root/tools/win32-install-deps.sh"

src=$root
sub=/platform/win32

build_for() {  # arch
  local t0=$SECONDS
  cmake -S "$src" -B "$build/$1" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$1.cmake" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build/$1" --target Nilo-VOD nilo_win32_tests -j"$jobs"
  echo "win32-test: $1 build took $((SECONDS - t0)) s"
}

# The shipped program is 32-bit. A host that cannot execute 32-bit code
# (some virtual machines refuse it) runs the same sources built for x86_64
# under 64-bit Wine instead.
build_for i686
"$root/tools/win32-package.sh" "$build/i686$sub/Nilo-VOD.exe" "$build/Nilo-VOD-1.0.0.1.zip"
python3 - "$build/Nilo-VOD-1.0.0.1.zip" <<'PY'
import sys, zipfile
names = set(zipfile.ZipFile(sys.argv[1]).namelist())
wanted = {"Nilo-VOD/Nilo-VOD.exe", "Nilo-VOD/config.ini", "Nilo-VOD/config_url.ini"}
sys.exit(0 if wanted <= names else "zip lacks " + ", ".join(sorted(wanted - names)))
PY
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  arch=i686
  export NILO_WINE=/usr/lib/wine/wine WINEARCH=win32
else
  echo "win32-test: this host cannot run 32-bit programs; testing the x86_64 build under 64-bit Wine"
  arch=x86_64
  export NILO_WINE=/usr/lib/wine/wine64
  build_for x86_64
fi

work=$(mktemp -d /tmp/nilo-win32-test.XXXXXX)
xvfb_pid=""
cleanup() {
  WINEPREFIX=$work/prefix wineserver -k 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

t0=$SECONDS
export WINEPREFIX=$work/prefix WINEDEBUG=-all
Xvfb -displayfd 7 -screen 0 1280x800x24 -nolisten tcp 7>"$work/display" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 1 150); do [ -s "$work/display" ] && break; sleep 0.2; done
export DISPLAY=:$(head -1 "$work/display")
WINEDLLOVERRIDES="mscoree,mshtml=" "$NILO_WINE" wineboot -i >/dev/null 2>&1
"$NILO_WINE" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
echo "win32-test: Wine prefix ready in $((SECONDS - t0)) s"

status=0
t0=$SECONDS
echo "== Windows backend tests ($arch, under Wine)"
timeout 600 "$NILO_WINE" "$build/$arch$sub/tests/nilo_win32_tests.exe" || status=1
echo "win32-test: backend tests took $((SECONDS - t0)) s"

t0=$SECONDS
echo "== end-to-end ($arch Nilo-VOD.exe, under Wine)"
timeout 900 "$root/tests/win32/e2e.sh" "$build/$arch$sub/Nilo-VOD.exe" "$build/$arch$sub/tests/nilo_win32_tests.exe" || status=1
echo "win32-test: end-to-end took $((SECONDS - t0)) s"
exit $status
