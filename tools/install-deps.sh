#!/usr/bin/env bash
# Installs, from Debian's packages, what building and testing need.
#   tools/install-deps.sh build     compiler, CMake, GoogleTest
#   tools/install-deps.sh desktop   the Linux desktop program: GTK, WebKitGTK, GStreamer, Xvfb
#   tools/install-deps.sh hardening clang with its sanitizer and libFuzzer runtimes
# Packages already present are left alone, so a second run is quick.
set -euo pipefail

build_packages=(g++ cmake make pkg-config googletest libgtest-dev libgmock-dev python3)
desktop_packages=(libgtk-3-dev libwebkit2gtk-4.1-dev libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad gstreamer1.0-plugins-ugly
  gstreamer1.0-libav gstreamer1.0-tools gstreamer1.0-gtk3 gstreamer1.0-gl gstreamer1.0-x
  xvfb xauth xdotool x11-apps dbus fonts-noto-cjk)
hardening_packages=(clang libclang-rt-dev llvm)

wanted=()
for group in "$@"; do
  case "$group" in
    build) wanted+=("${build_packages[@]}") ;;
    desktop) wanted+=("${build_packages[@]}" "${desktop_packages[@]}") ;;
    hardening) wanted+=("${build_packages[@]}" "${hardening_packages[@]}") ;;
    *) echo "unknown group: $group" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
