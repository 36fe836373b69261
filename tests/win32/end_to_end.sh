#!/usr/bin/env bash
# veltaro.exe under Wine with Commander stored as ticked and ComPort 5: the DDE stand-in
# delivers 14074, the pty linked as COM5 receives exactly "FA00014074000;", PEGASUS.OUT beside
# the exe holds "14.074000" CR LF, and a WM_CLOSE leaves the settings in the registry as REG_SZ
# values.
set -euo pipefail
source "$(dirname "$0")/pty.sh"
veltaro_exe="$1" standin_exe="$2" close_exe="$3"
app="$WINEPREFIX/drive_c/veltaro-e2e"
branch='HKCU\Software\VB and VBA Program Settings\Veltaro\StartUp'
link="$WINEPREFIX/dosdevices/com5"
out="$(mktemp)"
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
  rm -f "$out" "$link"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }
wait_for() { # seconds, condition...
  local n=$(( $1 * 20 )); shift
  for _ in $(seq "$n"); do "$@" && return 0; sleep 0.05; done
  return 1
}

rm -rf "$app" && mkdir -p "$app"
cp "$veltaro_exe" "$app/veltaro.exe"
wine reg delete "$branch" /f >/dev/null 2>&1 || true
wine reg add "$branch" /v CheckCommander /d 1 /f >/dev/null
wine reg add "$branch" /v ComPort /d 5 /f >/dev/null

rm -f "$link"
socat -u "pty,link=$link,raw,echo=0" "open:$out,creat,trunc" &
pids+=($!)
wait_for 5 test -e "$link" || fail "no pty at $link"
hold_pty "$link" 120 || fail "pty not held"
pids+=("$held_pid")

ready="$app/standin.ready"
wine "$standin_exe" 'C:\veltaro-e2e\standin.ready' 14074 14074000 &
pids+=($!)
wait_for 20 test -e "$ready" || fail "DDE stand-in did not start"

wine "$app/veltaro.exe" &
veltaro_pid=$!
pids+=($veltaro_pid)

pegasus_ok() { [ "$(od -An -c "$app/PEGASUS.OUT" 2>/dev/null | tr -d ' \n')" = '14.074000\r\n' ]; }
sent_ok() { [ "$(cat "$out")" = "FA00014074000;" ]; }
wait_for 30 pegasus_ok || fail "PEGASUS.OUT: $(od -c "$app/PEGASUS.OUT" 2>&1 | head -2)"
wait_for 10 sent_ok || fail "serial line received '$(cat "$out")'"
echo "PEGASUS.OUT and COM5 as expected"

wine "$close_exe" VeltaroMain || fail "veltaro.exe did not close on WM_CLOSE"
wait "$veltaro_pid" 2>/dev/null || true
sleep 0.2
sent_ok || fail "more was sent: '$(cat "$out")'"

query() { wine reg query "$branch" /v "$1" 2>/dev/null | tr -d '\r' | awk -v k="$1" '$1==k && $2=="REG_SZ" {print $3}'; }
[ "$(query CheckCommander)" = 1 ] || fail "CheckCommander is '$(query CheckCommander)'"
[ "$(query ComPort)" = 5 ] || fail "ComPort is '$(query ComPort)'"
[ "$(query CheckTRX)" = 0 ] || fail "CheckTRX is '$(query CheckTRX)'"
[ -n "$(query Position-Left)" ] || fail "Position-Left missing"
echo "settings saved: CheckCommander=1 ComPort=5 Position-Left=$(query Position-Left)"
