#!/usr/bin/env bash
# veltaro.exe under Wine finds its ticked source by itself, each time started before the source's
# program: Commander through the DDE stand-in (the window answering throughout; the longest wait
# is printed), and again once the stand-in has quit and started with another value; Hamlib
# through a real rigctld with its dummy rig; and N1MM UDP through RadioInfo datagrams sent to the
# stored address. Each time PEGASUS.OUT beside the exe ends up holding the program's frequency.
set -euo pipefail
source "$(dirname "$0")/pty.sh"
veltaro_exe="$1" standin_exe="$2" close_exe="$3" probe_exe="$4"
app="$WINEPREFIX/drive_c/veltaro-reconnect"
root='HKCU\Software\VB and VBA Program Settings\Veltaro'
link="$WINEPREFIX/dosdevices/com6"
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
  rm -f "$link"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }
wait_for() { # seconds, condition...
  local n=$(( $1 * 20 )); shift
  for _ in $(seq "$n"); do "$@" && return 0; sleep 0.05; done
  return 1
}
pegasus_is() { [ "$(od -An -c "$app/PEGASUS.OUT" 2>/dev/null | tr -d ' \n')" = "$1"'\r\n' ]; }

rm -rf "$app" && mkdir -p "$app"
cp "$veltaro_exe" "$app/veltaro.exe"
socat -u "pty,link=$link,raw,echo=0" "open:/dev/null" &
pids+=($!)
wait_for 5 test -e "$link" || fail "no pty at $link"
hold_pty "$link" 300 || fail "pty not held"
pids+=("$held_pid")

# Starts veltaro.exe with only the box ticked, and the address stored when given.
start() { # box-key [address-key address]
  wine reg delete "$root" /f >/dev/null 2>&1 || true
  wine reg add "$root\\StartUp" /v "$1" /d 1 /f >/dev/null
  wine reg add "$root\\StartUp" /v ComPort /d 6 /f >/dev/null
  [ $# -lt 3 ] || wine reg add "$root\\Addresses" /v "$2" /d "$3" /f >/dev/null
  rm -f "$app/PEGASUS.OUT"
  wine "$app/veltaro.exe" &
  veltaro_pid=$!
  pids+=($veltaro_pid)
  wait_for 20 wine "$probe_exe" VeltaroMain 0 >/dev/null || fail "no main window"
}
stop() {
  wine "$close_exe" VeltaroMain || fail "veltaro.exe did not close"
  wait "$veltaro_pid" 2>/dev/null || true
}
free_port() { echo $(( 20000 + RANDOM % 20000 )); }

start CheckCommander
probe_log="$(mktemp)"
wine "$probe_exe" VeltaroMain 6000 >"$probe_log" &
probe_pid=$!
sleep 2.5 # a few retries without the service
wine "$standin_exe" 'C:\veltaro-reconnect\standin.ready' 14074 14074000 &
standin_pid=$!
pids+=($standin_pid)
wait_for 30 pegasus_is 14.074000 || fail "Commander: PEGASUS.OUT $(od -c "$app/PEGASUS.OUT" 2>&1 | head -1)"
wait "$probe_pid" || fail "the window did not answer: $(cat "$probe_log")"
echo "Commander linked after it started; $(tr -d '\r' <"$probe_log")"
# The stand-in quits as Commander does (its ready file removed), then starts again.
rm -f "$app/standin.ready"
wait "$standin_pid" || true
wine "$standin_exe" 'C:\veltaro-reconnect\standin.ready' 21074 21074000 &
pids+=($!)
wait_for 30 pegasus_is 21.074000 || fail "Commander again: PEGASUS.OUT $(od -c "$app/PEGASUS.OUT" 2>&1 | head -1)"
echo "Commander linked again after it quit and started again"
stop

port=$(free_port)
start CheckHamlib Hamlib "127.0.0.1:$port"
sleep 1
rigctld -m 1 -T 127.0.0.1 -t "$port" &
pids+=($!)
wait_for 10 rigctl -m 2 -r "127.0.0.1:$port" F 7074000 || fail "rigctld did not start"
wait_for 30 pegasus_is 07.074000 || fail "Hamlib: PEGASUS.OUT $(od -c "$app/PEGASUS.OUT" 2>&1 | head -1)"
echo "Hamlib linked after rigctld started"
stop

port=$(free_port)
start CheckN1MM N1MM "127.0.0.1:$port"
radio_info='<?xml version="1.0"?><RadioInfo><RadioNr>1</RadioNr><Freq>2107400</Freq><TXFreq>2107400</TXFreq><ActiveRadioNr>1</ActiveRadioNr></RadioInfo>'
sent_and_written() {
  printf '%s' "$radio_info" | socat -u - "UDP-SENDTO:127.0.0.1:$port"
  pegasus_is 21.074000
}
wait_for 30 sent_and_written || fail "N1MM UDP: PEGASUS.OUT $(od -c "$app/PEGASUS.OUT" 2>&1 | head -1)"
echo "N1MM UDP followed the RadioInfo datagrams"
stop
