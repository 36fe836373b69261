#!/usr/bin/env bash
# veltaro.exe under Wine speaking the SteppIR protocol to the controller simulator, with
# Commander (the DDE stand-in) giving 14074 kHz: first on COM7, a pseudo-terminal linked in the
# Wine prefix, then through Winsock to the simulator on a loopback TCP port named by
# [Ports] Com8=tcp:127.0.0.1:PORT. Each time the simulator reads the set frame for 14.074 MHz and
# status requests after it, PEGASUS.OUT holds the relayed frequency, and the window's antenna
# line reads tuned (read from outside, as another program reads controls).
# Usage: controller_e2e.sh VELTARO_EXE DDE_STANDIN CLOSE_WINDOW WINDOW_TEXT SIMULATOR
set -euo pipefail
source "$(dirname "$0")/pty.sh"
veltaro_exe="$1" standin_exe="$2" close_exe="$3" text_exe="$4" sim="$5"
app="$WINEPREFIX/drive_c/veltaro-controller"
root='HKCU\Software\VB and VBA Program Settings\Veltaro'
link="$WINEPREFIX/dosdevices/com7"
log="$(mktemp)" where="$(mktemp)"
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
  rm -f "$log" "$where" "$link"
  wine reg delete "$root" /f >/dev/null 2>&1 || true
}
trap cleanup EXIT
fail() { echo "FAIL ($case): $*"; echo "the simulator read: $(tr '\n' '|' <"$log")"; exit 1; }
wait_for() { # seconds, condition...
  local n=$(( $1 * 20 )); shift
  for _ in $(seq "$n"); do "$@" && return 0; sleep 0.05; done
  return 1
}
pegasus_ok() { [ "$(od -An -c "$app/PEGASUS.OUT" 2>/dev/null | tr -d ' \n')" = '14.074000\r\n' ]; }
set_read() { grep -qx "set 14.074000 MHz normal" "$log"; }
# A status request read after the set frame.
status_after_set() { sed -n '/^set 14.074000 MHz normal$/,$p' "$log" | grep -qx 'status?'; }
tuned_shown() { wine "$text_exe" VeltaroMain 2>/dev/null | tr -d '\r' | grep -qx 'Antenna: tuned to 14.074 MHz'; }

rm -rf "$app" && mkdir -p "$app"
cp "$veltaro_exe" "$app/veltaro.exe"
case=setup
wine "$standin_exe" 'C:\veltaro-controller\standin.ready' 14074 14074000 &
pids+=($!)
wait_for 20 test -e "$app/standin.ready" || fail "DDE stand-in did not start"

start_sim() { # arguments...
  : >"$log"
  "$sim" "$@" >"$where" 2>"$log" &
  sim_pid=$!
  pids+=($sim_pid)
  wait_for 5 test -s "$where" || fail "the simulator did not start"
}
# Runs veltaro.exe with the controller on COM port $1, checks what it did, and stops it all.
follow() { # com-port
  wine reg delete "$root" /f >/dev/null 2>&1 || true
  wine reg add "$root\\StartUp" /v CheckCommander /d 1 /f >/dev/null
  wine reg add "$root\\StartUp" /v ComPort /d "$1" /f >/dev/null
  wine reg add "$root\\Controller" /v Protocol /d SteppIR /f >/dev/null
  [ -z "${2:-}" ] || wine reg add "$root\\Ports" /v "Com$1" /d "$2" /f >/dev/null
  rm -f "$app/PEGASUS.OUT"
  wine "$app/veltaro.exe" &
  veltaro_pid=$!
  pids+=($veltaro_pid)
  wait_for 30 set_read || fail "no set frame for 14.074 MHz"
  wait_for 10 status_after_set || fail "no status request after the set frame"
  wait_for 10 pegasus_ok || fail "PEGASUS.OUT: $(od -c "$app/PEGASUS.OUT" 2>&1 | head -2)"
  wait_for 15 tuned_shown || fail "the window shows: $(wine "$text_exe" VeltaroMain | grep Antenna)"
  echo "$case: the set frame, status requests after it, PEGASUS.OUT and 'Antenna: tuned' shown"
  wine "$close_exe" VeltaroMain || fail "veltaro.exe did not close"
  wait "$veltaro_pid" 2>/dev/null || true
  kill "$sim_pid"
  wait "$sim_pid" 2>/dev/null || true
}

case=COM7
rm -f "$link"
start_sim --link "$link"
hold_pty "$link" 120 || fail "pty not held"
pids+=("$held_pid")
follow 7

case=TCP
start_sim --tcp 0
follow 8 "tcp:$(head -1 "$where")"
