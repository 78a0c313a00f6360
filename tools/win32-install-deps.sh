#!/usr/bin/env bash
# Installs what the Windows build and its tests under Wine need: the MinGW-w64
# cross compilers (i686 for the program, x86_64 for hosts that cannot run
# 32-bit code), 32- and 64-bit Wine, Xvfb, xdotool and zip. Packages already
# present are left alone, so a second run is quick.
set -euo pipefail

packages=(g++-mingw-w64-i686 binutils-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 wine wine32:i386 wine64 xvfb xauth xdotool zip python3 cmake make)

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"

# wine32 is an i386 package.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
  need_update=1
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ] && [ -z "${need_update:-}" ]; then exit 0; fi

# Another install may hold the lock; wait for it rather than fail.
for _ in $(seq 1 180); do
  if ! fuser /var/lib/dpkg/lock-frontend /var/lib/dpkg/lock >/dev/null 2>&1; then break; fi
  sleep 5
done

$sudo apt-get update -qq
if [ ${#missing[@]} -gt 0 ]; then
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
