#!/usr/bin/env bash
# The NSIS installer (made by scripts/win-build.sh) installs veltaro.exe per user into a folder
# the user can write to, adds the Start-menu entry, and its uninstaller removes both.
set -euo pipefail
setup="$1"
[ -f "$setup" ] || { echo "FAIL: no installer at $setup (built by scripts/win-build.sh)"; exit 1; }
user_dir="$(ls -d "$WINEPREFIX"/drive_c/users/*/AppData 2>/dev/null | grep -v /Public/ | head -1)"
dest="$user_dir/Local/Programs/Veltaro"
menu="$user_dir/Roaming/Microsoft/Windows/Start Menu/Programs/Veltaro/Veltaro.lnk"
rm -rf "$dest" "$(dirname "$menu")"
wine "$setup" /S
for _ in $(seq 100); do [ -f "$dest/veltaro.exe" ] && [ -f "$menu" ] && break; sleep 0.1; done
[ -f "$dest/veltaro.exe" ] || { echo "FAIL: veltaro.exe not installed under $dest"; exit 1; }
[ -f "$menu" ] || { echo "FAIL: no Start-menu entry"; exit 1; }
touch "$dest/PEGASUS.OUT" # the folder is writable by the user
wine "$dest/uninstall.exe" /S _?="$(winepath -w "$dest")"
[ ! -f "$dest/veltaro.exe" ] && [ ! -f "$menu" ] || { echo "FAIL: uninstall left files"; exit 1; }
echo "installed into $dest with a Start-menu entry, and removed again"
