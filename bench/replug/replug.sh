#!/usr/bin/env bash
# Re-plugging the antenna controller's serial device under the real veltaro program (offscreen,
# Commander linked to veltaro-link-publisher, the port a socat pty under a fixed link name, as a by-id
# name is). Prints figures; asserts nothing.
#   return to command   socat's link back -> the last command on the wire, median of REPLUGS;
#                       the device comes back at a random moment of the program's 1 s reopen tick
#   CPU, device gone    CPU time of the program over GONE_SECONDS with the device away, beside the
#                       same program with the device there over the same time, both scaled to
#                       seconds per hour
# Needs a session bus (scripts/with-session.sh). Environment: BUILD_DIR (default build/),
# REPLUGS (10), GONE_SECONDS (60).
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${BUILD_DIR:-$root/build}
replugs=${REPLUGS:-10}
gone_s=${GONE_SECONDS:-60}
tmp=$(mktemp -d)
pids=()
trap 'kill "${pids[@]}" 2>/dev/null; wait 2>/dev/null; rm -rf "$tmp"' EXIT

link=$tmp/usb-Bench_Controller-if00-port0
wire=$tmp/wire
now_ns() { date +%s%N; }
cpu_ns() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{s += $1} END {printf "%d\n", s}'; }
median() { sort -n | awk '{v[NR]=$1} END { if (NR) print v[int((NR+1)/2)] }'; }
plug() {
  : >"$wire"
  socat -u "pty,link=$link,raw,echo=0" "open:$wire,append" &
  socat_pid=$!
  pids+=($socat_pid)
  while [ ! -e "$link" ]; do sleep 0.001; done
}
unplug() { kill "$socat_pid"; wait "$socat_pid" 2>/dev/null; }
wait_command() { # up to 10 s for a command on the wire
  for _ in $(seq 2000); do grep -q ';' "$wire" 2>/dev/null && return 0; sleep 0.005; done
  return 1
}

mkdir -p "$tmp/config/Veltaro"
printf '[StartUp]\nComPort=17\nCheckCommander=1\n[Ports]\nCom17=%s\n' "$link" \
  >"$tmp/config/Veltaro/Veltaro.conf"
cp "$build/veltaro" "$tmp/veltaro"
echo 14074000 | "$build/veltaro-link-publisher" --stdin --as commander >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 200); do
  dbus-send --session --print-reply --dest=org.freedesktop.DBus / \
    org.freedesktop.DBus.NameHasOwner string:org.veltaro.Link.CI_2dV_20Commander 2>/dev/null |
    grep -q 'boolean true' && break
  sleep 0.02
done
plug
XDG_CONFIG_HOME=$tmp/config QT_QPA_PLATFORM=offscreen "$tmp/veltaro" >/dev/null 2>&1 &
app=$!
pids+=($app)
wait_command || { echo "replug: no command at start-up"; exit 1; }

times=()
for _ in $(seq "$replugs"); do
  unplug
  sleep "$(awk -v r=$RANDOM 'BEGIN { printf "%.3f", 1.5 + r / 32768 }')"
  plug
  t0=$(now_ns)
  wait_command && times+=($((($(now_ns) - t0) / 1000000)))
done
last=$(cat "$wire")

sleep 2
c0=$(cpu_ns $app)
sleep "$gone_s"
c1=$(cpu_ns $app)
unplug
sleep 2
g0=$(cpu_ns $app)
sleep "$gone_s"
g1=$(cpu_ns $app)

per_hour() { awk -v d="$1" -v s="$gone_s" 'BEGIN { printf "%.2f", d / 1e9 / s * 3600 }'; }
printf 'return to command (ms, %d re-plugs): median %s, min %s, max %s; last command %s\n' \
  "${#times[@]}" "$(printf '%s\n' "${times[@]}" | median)" \
  "$(printf '%s\n' "${times[@]}" | sort -n | head -1)" \
  "$(printf '%s\n' "${times[@]}" | sort -n | tail -1)" "${last:--}"
printf 'CPU over %s s (s per hour): device there %s, device gone %s\n' "$gone_s" \
  "$(per_hour $((c1 - c0)))" "$(per_hour $((g1 - g0)))"
