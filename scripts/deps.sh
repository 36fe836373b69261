#!/usr/bin/env bash
# Installs the Debian packages that a make target needs, when any is missing.
# Usage: scripts/deps.sh GROUP...   (groups: build test demo win fuzz)
set -euo pipefail
pkgs=()
for group in "$@"; do
  case "$group" in
    build) pkgs+=(cmake make g++ pkg-config dpkg-dev qt6-base-dev qt6-serialport-dev libgl-dev
                  libgtest-dev libgmock-dev googletest libbenchmark-dev) ;;
    test)  pkgs+=(xvfb xauth openbox x11-utils xdotool socat dbus dbus-bin util-linux iproute2
                  imagemagick libhamlib-utils clang libclang-rt-14-dev valgrind clang-format python3
                  clang-tidy) ;;
    demo)  pkgs+=(xvfb xauth openbox dbus dbus-bin libhamlib-utils python3) ;;
    win)   pkgs+=(wine wine64 mingw-w64 g++-mingw-w64-x86-64-posix mingw-w64-tools libwine-dev nsis) ;;
    fuzz)  pkgs+=(clang libclang-rt-14-dev) ;;
    *) echo "deps.sh: unknown group $group" >&2; exit 2 ;;
  esac
done
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO=sudo
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq "${missing[@]}"
