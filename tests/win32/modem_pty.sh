#!/usr/bin/env bash
# The transmit-inhibit line's adapter on a pseudo-terminal linked as COM18 in the Wine prefix.
# A pty has no modem lines: first the adapter must fail to drive them. Then the modem-lines
# shim (tests/support/modem_lines_shim.cpp, built here for the host) is preloaded into the Wine
# process, where Wine's serial driver makes its ioctl calls on the pty; the shim answers the
# modem requests and records each, and the levels recorded must be those the test set, in order.
set -euo pipefail
source "$(dirname "$0")/pty.sh"
tests_exe="$1"
shim_source="$(dirname "$0")/../support/modem_lines_shim.cpp"
talk="$(mktemp -d)"
link="$WINEPREFIX/dosdevices/com18"
rm -f "$link"
trap 'kill ${holder_pid:-} ${socat_pid:-} 2>/dev/null || true; wait ${socat_pid:-} 2>/dev/null || true; rm -rf "$talk" "$link"' EXIT
"${CXX:-c++}" -std=c++20 -shared -fPIC -O1 -o "$talk/shim.so" "$shim_source" -ldl
socat -u "pty,link=$link,raw,echo=0" "open:/dev/null" &
socat_pid=$!
for _ in $(seq 100); do [ -e "$link" ] && break; sleep 0.05; done
[ -e "$link" ] || { echo "no pty at $link"; exit 1; }
hold_pty "$link" 60
holder_pid=$held_pid

VELTARO_MODEM_COM=COM18 wine "$tests_exe" --gtest_filter='ModemPty.PlainPtyCannotBeDriven'
record="$talk/lines"
VELTARO_MODEM_COM=COM18 VELTARO_MODEM_LINES="$record" LD_PRELOAD="$talk/shim.so" \
  wine "$tests_exe" --gtest_filter='ModemPty.DrivesEachLineWithTheShim'
echo "the shim's record:"
cat "$record"
# The levels after each request that set the lines.
levels="$(grep -v '^TIOCMGET' "$record" | sed 's/.*-> //' | tr '\n' ',')"
expected="RTS=0 DTR=1,RTS=1 DTR=1,RTS=1 DTR=0,RTS=1 DTR=1,RTS=0 DTR=1,"
[ "$levels" = "$expected" ] || { echo "levels: $levels; expected: $expected"; exit 1; }
