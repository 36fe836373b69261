#!/usr/bin/env bash
# Sourced by the Windows build and test helpers: a private Wine prefix in the build folder, the
# null display driver (no X needed), and a persistent wineserver so that each test program starts
# quickly. win_prime creates and starts it; win_stop kills it (ctest hangs on its inherited pipes
# otherwise).
VELTARO_ROOT="${VELTARO_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}"
VELTARO_WIN_BUILD="${VELTARO_WIN_BUILD:-$VELTARO_ROOT/build-win}"
export WINEPREFIX="${WINEPREFIX:-$VELTARO_WIN_BUILD/wineprefix}"
export WINEARCH=win64
export WINEDEBUG=-all
# No Mono or Gecko install prompts.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY

win_prime() {
  mkdir -p "$WINEPREFIX"
  if [ ! -f "$WINEPREFIX/.veltaro-primed" ]; then
    wine cmd /c exit >/dev/null 2>&1 || true
    wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
    wineserver -w
    touch "$WINEPREFIX/.veltaro-primed"
  fi
  wineserver -p
  wine cmd /c exit >/dev/null 2>&1 || true
}

win_stop() {
  wineserver -k >/dev/null 2>&1 || true
}
