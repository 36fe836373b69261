#!/usr/bin/env bash
# The controller simulator on a pseudo-terminal linked as COM18 in the Wine prefix. The test
# opens it at 9600 baud, asks for the status and must receive the whole 11-byte reply; this
# script checks the line's settings and that the simulator read exactly one status request,
# then ends the simulator, and the test's next read must find the device lost.
# Usage: controller_pty.sh TESTS_EXE SIMULATOR
set -euo pipefail
source "$(dirname "$0")/pty.sh"
tests_exe="$1"
sim="$2"
talk="$(mktemp -d)"
link="$WINEPREFIX/dosdevices/com18"
trap 'kill ${holder_pid:-} ${sim_pid:-} 2>/dev/null || true; rm -rf "$talk" "$link"' EXIT
"$sim" --link "$link" --start-hz 7243000 >/dev/null 2>"$talk/log" &
sim_pid=$!
for _ in $(seq 100); do [ -e "$link" ] && break; sleep 0.05; done
[ -e "$link" ] || { echo "no pty at $link"; exit 1; }
hold_pty "$link" 60
holder_pid=$held_pid
VELTARO_PTY_COM=COM18 VELTARO_PTY_DIR="$(winepath -w "$talk")" \
  wine "$tests_exe" --gtest_filter='PtyController.*' &
test_pid=$!
for _ in $(seq 400); do [ -e "$talk/received" ] && break; sleep 0.05; done
settings="$(stty -F "$link" -a)"
kill $sim_pid
wait $sim_pid 2>/dev/null || true
touch "$talk/gone"
wait $test_pid
echo "the simulator read: $(tr '\n' ' ' <"$talk/log")"
[ "$(cat "$talk/log")" = "status?" ]
echo "$settings" | grep -q "speed 9600 baud" || { echo "not at 9600 baud"; exit 1; }
