#!/usr/bin/env bash
# A pseudo-terminal linked as COM17 in the Wine prefix stands for the antenna controller's port
# (beyond the list's fixed COM1 to COM16; a two-digit port needs the \\.\ form of the name). The
# test sends one command; this script checks that exactly that command arrived at 4800 baud,
# 8 data bits, no parity, 1 stop bit, then ends the pseudo-terminal, and the test's next write
# must fail and close the line. A new pseudo-terminal under the same link then brings the port
# back, and the command the test sends once it has opened it again must arrive there.
set -euo pipefail
source "$(dirname "$0")/pty.sh"
tests_exe="$1"
talk="$(mktemp -d)"
out="$talk/received"
link="$WINEPREFIX/dosdevices/com17"
rm -f "$link"
trap 'kill ${holder_pid:-} ${socat_pid:-} 2>/dev/null || true; wait ${socat_pid:-} 2>/dev/null || true; rm -rf "$talk" "$link"' EXIT
plug() { # OUTPUT: a new pseudo-terminal at $link whose bytes go to OUTPUT
  socat -u "pty,link=$link,raw,echo=0" "open:$1,creat,trunc" &
  socat_pid=$!
  for _ in $(seq 100); do [ -e "$link" ] && break; sleep 0.05; done
  [ -e "$link" ] || { echo "no pty at $link"; exit 1; }
  hold_pty "$link" 60
  holder_pid=$held_pid
}
plug "$out"
VELTARO_PTY_COM=COM17 VELTARO_PTY_DIR="$(winepath -w "$talk")" \
  wine "$tests_exe" --gtest_filter='Pty.*' &
test_pid=$!
for _ in $(seq 400); do [ -e "$talk/sent" ] && break; sleep 0.05; done
settings="$(stty -F "$link" -a)"
sleep 0.3
got="$(cat "$out")"
kill $socat_pid
wait $socat_pid 2>/dev/null || true
kill $holder_pid 2>/dev/null || true
[ ! -e "$link" ] || { echo "$link is still there"; exit 1; }
touch "$talk/gone"
sleep 1.5 # the test tries in vain meanwhile
plug "$talk/again"
for _ in $(seq 600); do [ -e "$talk/resent" ] && break; sleep 0.05; done
sleep 0.3
again="$(cat "$talk/again")"
wait $test_pid
echo "received: '$got'; after the return: '$again'"
[ "$again" = "FA00021074000;" ]
echo "$settings" | head -1
[ "$got" = "FA00014074000;" ]
for flag in cs8 -parenb -cstopb -crtscts -ixon; do
  echo "$settings" | grep -qw -- "$flag" || { echo "line setting $flag missing"; exit 1; }
done
echo "$settings" | grep -q "speed 4800 baud" || { echo "not at 4800 baud"; exit 1; }
