#!/usr/bin/env bash
# Soak run: the real program follows the link publisher's sweep (as Commander) for a while and
# relays to a virtual controller (a pty recorded by socat). Samples the program's RSS, then closes
# the window as a user would (Alt+F4) and checks that it exited cleanly, leaked nothing
# (LeakSanitizer in a sanitizer build, valgrind with TOOL=valgrind), relayed well-formed commands,
# and that PEGASUS.OUT holds the last relayed frequency.
# Usage: scripts/soak.sh [MINUTES]   (or SOAK_MINUTES / SOAK_SECONDS)
# Environment: VELTARO, PUBLISHER (binaries; default build/), TOOL (auto|lsan|valgrind|none),
#              SOAK_RATE (the sweep's changes per second, default 40), SOAK_SAMPLE (seconds,
#              default 10).
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ] || [ -z "${DISPLAY:-}" ]; then
  exec "$root/scripts/with-session.sh" "$0" "$@"
fi
minutes=${1:-${SOAK_MINUTES:-60}}
seconds=${SOAK_SECONDS:-$(( minutes * 60 ))}
veltaro=${VELTARO:-$root/build/veltaro}
publisher=${PUBLISHER:-$root/build/veltaro-link-publisher}
rate=${SOAK_RATE:-40}
sample=${SOAK_SAMPLE:-10}
tool=${TOOL:-auto}
for b in "$veltaro" "$publisher"; do
  [ -x "$b" ] || { echo "soak: $b is not built" >&2; exit 2; }
done
if [ "$tool" = auto ]; then
  tool=none
  # grep reads to the end: with pipefail, an early exit would fail nm with SIGPIPE.
  if nm -an "$veltaro" 2>/dev/null | grep -E '__lsan_do_leak_check|__asan_init' >/dev/null; then tool=lsan; fi
fi

dir=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null; done
  [ -n "${SOAK_KEEP:-}" ] && echo "soak: kept $dir" || rm -rf "$dir"
}
trap cleanup EXIT

# The program writes PEGASUS.OUT beside itself, so it runs from a copy.
mkdir -p "$dir/app" "$dir/config/Veltaro"
cp "$veltaro" "$dir/app/veltaro"
socat -u PTY,link="$dir/com1",raw,echo=0 CREATE:"$dir/serial.out" &
pids+=($!)
for _ in $(seq 100); do [ -e "$dir/com1" ] && break; sleep 0.05; done
[ -e "$dir/com1" ] || { echo "soak: no pty" >&2; exit 1; }
printf '[StartUp]\nCheckCommander=1\nComPort=1\n[Ports]\nCom1=%s\n' "$dir/com1" \
  >"$dir/config/Veltaro/Veltaro.conf"

"$publisher" --sweep --as commander --rate "$rate" --step-hz 5000 >/dev/null \
  2>"$dir/publisher.err" &
publisher_pid=$!
pids+=($publisher_pid)
owned=false
for _ in $(seq 100); do
  if dbus-send --session --print-reply --dest=org.freedesktop.DBus / \
       org.freedesktop.DBus.NameHasOwner string:org.veltaro.Link.CI_2dV_20Commander 2>/dev/null |
       grep -q 'boolean true'; then owned=true; break; fi
  sleep 0.05
done
$owned || { echo "soak: the publisher did not come up" >&2; cat "$dir/publisher.err" >&2; exit 1; }

run=("$dir/app/veltaro")
case "$tool" in
  valgrind) run=(valgrind --leak-check=full --errors-for-leak-kinds=definite
                 --show-leak-kinds=definite --error-exitcode=97
                 --suppressions="$root/tests/soak/valgrind.supp" "$dir/app/veltaro") ;;
  lsan) export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=1"
        export LSAN_OPTIONS="suppressions=$root/tests/soak/lsan.supp:print_suppressions=0" ;;
esac
XDG_CONFIG_HOME="$dir/config" QT_QPA_PLATFORM=xcb "${run[@]}" >"$dir/app.out" 2>"$dir/app.err" &
app=$!
pids+=($app)

rss() { awk '/^VmRSS/ {print $2}' "/proc/$1/status" 2>/dev/null; }
relays() { echo $(( $(stat -c %s "$dir/serial.out" 2>/dev/null || echo 0) / 14 )); }
echo "soak: $seconds s, tool $tool, sweep rate $rate/s"
printf '%8s %10s %8s\n' seconds rss_kib relays
alive=true
first_rss=""
elapsed=0
while [ $elapsed -lt "$seconds" ]; do
  step=$(( sample < seconds - elapsed ? sample : seconds - elapsed ))
  sleep "$step"
  elapsed=$(( elapsed + step ))
  if ! kill -0 $app 2>/dev/null; then alive=false; break; fi
  r=$(rss $app)
  [ -z "$first_rss" ] && first_rss=$r
  printf '%8s %10s %8s\n' $elapsed "$r" "$(relays)"
done
last_rss=${r:-0}

# Stop the radio first, so the last command and the file can be compared at rest.
kill $publisher_pid 2>/dev/null
wait $publisher_pid 2>/dev/null
sleep 1

status=0
fail() { echo "soak: FAIL: $*" >&2; status=1; }
$alive || fail "the program died during the run"
if $alive; then
  # Alt+F4 is the window manager's key. Should the window manager be away (the test session
  # starts it again), wait for it, and try up to three times before calling it a failure.
  wid=$(xdotool search --pid $app --name '^Veltaro$' 2>/dev/null | head -1)
  [ -n "$wid" ] || fail "the program has no window titled Veltaro"
  for attempt in 1 2 3; do
    [ -n "$wid" ] || break
    for _ in $(seq 100); do
      xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
      sleep 0.1
    done
    timeout 10 xdotool windowactivate --sync "$wid" >/dev/null 2>&1
    xdotool key --clearmodifiers alt+F4
    for _ in $(seq 200); do kill -0 $app 2>/dev/null || break; sleep 0.1; done
    kill -0 $app 2>/dev/null || break
    echo "soak: the program is still running 20 s after Alt+F4 (attempt $attempt)" >&2
  done
  if kill -0 $app 2>/dev/null; then
    fail "the program did not close after Alt+F4"
    kill -9 $app
  fi
fi
wait $app
rc=$?
[ $rc -eq 0 ] || fail "the program exited with status $rc"
if grep -q 'LeakSanitizer\|definitely lost: [1-9]' "$dir/app.err"; then
  fail "leaks reported"
  grep -A30 'LeakSanitizer\|definitely lost' "$dir/app.err" | head -60 >&2
fi
grep -q 'runtime error\|AddressSanitizer' "$dir/app.err" && fail "sanitizer errors" &&
  head -40 "$dir/app.err" >&2

count=$(relays)
bytes=$(stat -c %s "$dir/serial.out")
if [ $(( bytes % 14 )) -ne 0 ] ||
   LC_ALL=C grep -qvE '^(FA[0-9]{11};)*$' <(cat "$dir/serial.out"; echo); then
  fail "malformed bytes at the controller"
fi
[ "$count" -gt 0 ] || fail "nothing was relayed"
last_cmd=$(tail -c 14 "$dir/serial.out")
pegasus=$(tr -d '\r\n' <"$dir/app/PEGASUS.OUT" 2>/dev/null)
khz=$(( 10#${last_cmd:2:8} ))
file_khz=$(awk -v m="$pegasus" 'BEGIN { printf "%d", m * 1000 + 0.5 }')
[ "$khz" = "$file_khz" ] || fail "last command $last_cmd but PEGASUS.OUT holds $pegasus"

echo "soak: relays $count, RSS ${first_rss:-?} KiB after $sample s -> ${last_rss} KiB at the end" \
     "(growth $(( ${last_rss:-0} - ${first_rss:-0} )) KiB), exit $rc, leaks: $(
       [ $status -eq 0 ] && echo none || echo see above)"
[ $status -eq 0 ] && echo "soak: PASS"
exit $status
