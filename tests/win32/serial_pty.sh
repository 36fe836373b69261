#!/usr/bin/env bash
# A pseudo-terminal linked as COM5 in the Wine prefix records what the program sends; exactly the
# one frequency command must arrive.
set -euo pipefail
tests_exe="$1"
out="$(mktemp)"
link="$WINEPREFIX/dosdevices/com5"
rm -f "$link"
socat -u "pty,link=$link,raw,echo=0" "open:$out,creat,trunc" &
socat_pid=$!
trap 'kill $socat_pid 2>/dev/null || true; wait $socat_pid 2>/dev/null || true; rm -f "$out" "$link"' EXIT
for _ in $(seq 100); do [ -e "$link" ] && break; sleep 0.05; done
[ -e "$link" ] || { echo "no pty at $link"; exit 1; }
VELTARO_PTY_COM=5 wine "$tests_exe" --gtest_filter='Pty.*'
sleep 0.3
got="$(cat "$out")"
echo "received: '$got'"
[ "$got" = "FA00014074000;" ]
