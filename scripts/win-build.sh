#!/usr/bin/env bash
# Cross-builds the Windows program and its tests into build-win/ (veltaro.exe, the Wine tests)
# and, when makensis is there, the installer build-win/veltaro-setup.exe.
# Usage: scripts/win-build.sh [extra cmake --build arguments]
set -euo pipefail
source "$(dirname "$0")/win-env.sh"
cd "$VELTARO_ROOT"
cmake --preset win-cross -B "$VELTARO_WIN_BUILD" >/dev/null
# The program, the core tests and the Windows tests; the fuzz replays are Linux-only.
cmake --build "$VELTARO_WIN_BUILD" -j "${JOBS:-$(nproc)}" \
  --target veltaro core_tests win32_tests win32_window_tests dde_standin ftlink_standin close_window probe_window window_text "$@"
x86_64-w64-mingw32-strip -o "$VELTARO_WIN_BUILD/veltaro-dist.exe" "$VELTARO_WIN_BUILD/veltaro.exe"
if command -v makensis >/dev/null; then
  makensis -V2 -DEXE="$VELTARO_WIN_BUILD/veltaro-dist.exe" \
    -DOUTFILE="$VELTARO_WIN_BUILD/veltaro-setup.exe" -DVERSION_NSH="$VELTARO_WIN_BUILD/version.nsh" \
    installer/veltaro.nsi
fi
