#!/usr/bin/env bash
# Measures the program against honest baselines and prints a table, also written to
# docs/performance.md with the machine and the date. Nothing here asserts a timing.
#   relay latency      bench_latency (link publisher -> pty, beside a bare D-Bus floor)
#   idle CPU, RSS      the program with no source and polling the FTLink stand-in at 10 Hz,
#                      beside bench_baseline (a Qt Widgets window with a 100 ms QTimer; for the
#                      polling figure it reads the same property each tick)
#   start-up           launch to a mapped window (X11), median of several runs, same baseline
#   flood              link publisher --flood (10,000 changes/s) while the controller end reads
#                      480 B/s: RSS growth, how fast the window answers a _NET_WM_PING (beside
#                      the idle baseline window) and the delay from the last change to its command
#   tracker            Google Benchmark: readings per second from a hot link through the
#                      relay session and the window model
#   headless           veltaro --headless beside the window (bench/headless.sh)
#   re-plug            the controller's device taken away and brought back: its return to the
#                      command on the wire, CPU while it is away (bench/replug/replug.sh)
#   network sources    the built-in Hamlib source against a real rigctld: change to command
#                      latency beside its floor, idle CPU beside rigctl polling the same rigctld,
#                      reconnection after rigctld or a link publisher restarts
#                      (bench/sources.py)
#   controller         the controller's own protocol against veltaro-steppir-sim: radio change to
#                      set frame (beside a pty write and the FA path), set frame to "tuned", a
#                      dropped frame to its resend, idle CPU polling the controller beside the FA
#                      path, a serial server gone for 1 s, and the transmit-inhibit line's
#                      response (bench/controller.py)
# Environment: BUILD_DIR (default build/), IDLE_SECONDS (60), FLOOD_SECONDS (60), STARTS (7),
#              REPLUGS (10), GONE_SECONDS (60), BENCH_OUT (default docs/performance.md).
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ] || [ -z "${DISPLAY:-}" ]; then
  exec "$root/scripts/with-session.sh" "$0" "$@"
fi
build=${BUILD_DIR:-$root/build}
idle_s=${IDLE_SECONDS:-60}
flood_s=${FLOOD_SECONDS:-60}
starts=${STARTS:-7}
out=${BENCH_OUT:-$root/docs/performance.md}
targets=(veltaro veltaro-link-publisher bench_baseline bench_tracker bench_flood_reader bench_window_ping
  veltaro-steppir-sim veltaro_modem_shim)
[ -f "$root/bench/latency/CMakeLists.txt" ] && targets+=(bench_latency)
if [ -z "${BENCH_NO_BUILD:-}" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null || exit 1
  cmake --build "$build" -j "${JOBS:-$(nproc)}" --target "${targets[@]}" >/dev/null || exit 1
fi
veltaro=$build/veltaro
publisher=$build/veltaro-link-publisher
baseline=$build/bench/baseline/bench_baseline
reader=$build/bench/flood/bench_flood_reader
pinger=$build/bench/flood/bench_window_ping

tmp=$(mktemp -d)
pids=()
stop_all() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null; done
  pids=()
}
trap 'stop_all; rm -rf "$tmp"' EXIT

now_ns() { date +%s%N; }
# CPU time in nanoseconds, summed over the threads (the clock ticks of /proc/PID/stat are 10 ms,
# too coarse for an idle minute).
cpu_ns() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{s += $1} END {printf "%d\n", s}'; }
rss_kib() { awk '/^VmRSS/ {print $2}' "/proc/$1/status" 2>/dev/null; }
wait_window() { # PID TITLE: waits (up to 20 s) until the process has a mapped window
  local i
  for i in $(seq 2000); do
    xdotool search --onlyvisible --pid "$1" --name "^$2\$" >/dev/null 2>&1 && return 0
    kill -0 "$1" 2>/dev/null || return 1
    sleep 0.01
  done
  return 1
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }'; }
median() { sort -n | awk '{v[NR]=$1} END { if (NR) print v[int((NR+1)/2)] }'; }

# A folder with a copy of the program (PEGASUS.OUT lands beside it), its settings and a
# controller pty. Usage: setup NAME "KEY=VALUE..."; sets $app_dir and $conf_home.
setup() {
  app_dir=$tmp/$1
  conf_home=$app_dir/config
  mkdir -p "$app_dir" "$conf_home/Veltaro"
  cp "$veltaro" "$app_dir/veltaro"
  "$reader" "$app_dir/com1" >"$app_dir/controller.log" &
  pids+=($!)
  for _ in $(seq 200); do [ -e "$app_dir/com1" ] && break; sleep 0.01; done
  { printf '[StartUp]\nComPort=1\n'; for kv in $2; do echo "$kv"; done
    printf '[Ports]\nCom1=%s\n' "$app_dir/com1"; } >"$conf_home/Veltaro/Veltaro.conf"
}
start_app() { # start the program of $app_dir; sets $app
  XDG_CONFIG_HOME=$conf_home QT_QPA_PLATFORM=xcb "$app_dir/veltaro" >/dev/null 2>&1 &
  app=$!
  pids+=($app)
}
wait_bus_name() {
  for _ in $(seq 200); do
    dbus-send --session --print-reply --dest=org.freedesktop.DBus / \
      org.freedesktop.DBus.NameHasOwner "string:$1" 2>/dev/null | grep -q 'boolean true' && return 0
    sleep 0.02
  done
  return 1
}

# Idle CPU (seconds per hour) and RSS (KiB) of one running process after it settled.
measure_idle() { # PID TITLE -> "cpu_s_per_hour rss_kib"
  wait_window "$1" "$2" || { echo "- -"; return; }
  sleep 2
  local r c0 c1
  r=$(rss_kib "$1")
  c0=$(cpu_ns "$1")
  sleep "$idle_s"
  c1=$(cpu_ns "$1")
  awk -v d=$((c1 - c0)) -v s="$idle_s" -v r="$r" \
    'BEGIN { printf "%.2f %d\n", d / 1e9 / s * 3600, r }'
}
# How fast a window answers: PID TITLE COUNT -> one round trip (ms) or "timeout" a line, 1 s apart.
ping_window() {
  local wid
  wid=$(xdotool search --onlyvisible --pid "$1" --name "^$2\$" 2>/dev/null | head -1)
  if [ -x "$pinger" ] && [ -n "$wid" ]; then "$pinger" "$wid" "$3" 1000 2>/dev/null
  else sleep "$3"; fi
}
ping_summary() { # FILE -> "median / max, N timeouts"
  printf '%s / %s, %s timeouts' "$(grep -v timeout "$1" | median)" \
    "$(grep -v timeout "$1" | sort -n | tail -1)" "$(grep -c timeout "$1")"
}

echo "bench: idle CPU over $idle_s s, RSS after start-up" >&2
"$baseline" >/dev/null 2>&1 &
b=$!
pids+=($b)
read -r base_cpu base_rss < <(measure_idle $b Baseline)
ping_window $b Baseline 10 >"$tmp/base_answers"
stop_all

setup idle ""
start_app
read -r idle_cpu idle_rss < <(measure_idle $app Veltaro)
# Again with another window in front, as while the user works in the rig program: an active
# window's focused text box blinks its caret, which wakes any toolkit twice a second.
"$baseline" >/dev/null 2>&1 &
b=$!
pids+=($b)
wait_window $b Baseline
read -r idle_bg_cpu _ < <(measure_idle $app Veltaro)
stop_all

setup polling "CheckTRX=1"
echo 14074000 | "$publisher" --stdin --as ftlink >/dev/null 2>&1 &
pids+=($!)
wait_bus_name org.veltaro.FTLink
start_app
read -r poll_cpu poll_rss < <(measure_idle $app Veltaro)
kill $app
"$baseline" --poll-ftlink >/dev/null 2>&1 &
b=$!
pids+=($b)
read -r pbase_cpu _ < <(measure_idle $b Baseline)
stop_all

echo "bench: start-up to a mapped window, median of $starts" >&2
startup() { # COMMAND TITLE -> milliseconds
  local t0 p
  t0=$(now_ns)
  "$@" >/dev/null 2>&1 &
  p=$!
  if wait_window $p "$TITLE"; then echo $(( ($(now_ns) - t0) / 1000000 )); fi
  kill $p 2>/dev/null
  wait $p 2>/dev/null
}
base_start=$(for _ in $(seq "$starts"); do TITLE=Baseline startup "$baseline"; done | median)
setup start ""
app_start=$(for _ in $(seq "$starts"); do
  TITLE=Veltaro XDG_CONFIG_HOME=$conf_home startup "$app_dir/veltaro"; done | median)
stop_all

echo "bench: flood for $flood_s s" >&2
setup flood "CheckCommander=1"
"$publisher" --flood --as commander >/dev/null 2>&1 &
flood_publisher=$!
pids+=($flood_publisher)
wait_bus_name org.veltaro.Link.CI_2dV_20Commander
start_app
wait_window $app Veltaro
sleep 2
flood_rss0=$(rss_kib $app)
ping_window $app Veltaro "$flood_s" >"$tmp/flood_answers"
flood_rss1=$(rss_kib $app)
# The last change: the publisher stops now; the controller end notes the moment.
reader_pid=${pids[0]}
kill -USR1 "$reader_pid"
kill $flood_publisher
wait $flood_publisher 2>/dev/null
# Let the controller end drain what is still queued (at 480 B/s).
prev=-1
for _ in $(seq 120); do
  sleep 1
  n=$(wc -l <"$app_dir/controller.log")
  [ "$n" = "$prev" ] && break
  prev=$n
done
mark=$(awk '$2 == "MARK" {print $1}' "$app_dir/controller.log" | tail -1)
last=$(awk '$2 != "MARK" {t = $1; c = $2} END {print t, c}' "$app_dir/controller.log")
last_t=${last%% *}
last_cmd=${last##* }
commands=$(grep -c 'FA' "$app_dir/controller.log")
pegasus=$(tr -d '\r\n' <"$app_dir/PEGASUS.OUT" 2>/dev/null)
stop_all
drain_ms=$(awk -v a="${last_t:-0}" -v m="${mark:-0}" 'BEGIN { if (m > 0 && a > 0) printf "%.0f", (a - m) / 1e6; else print "-" }')
flood_growth=$(( ${flood_rss1:-0} - ${flood_rss0:-0} ))

echo "bench: tracker throughput" >&2
tracker_csv=$("$build/bench/tracker/bench_tracker" --benchmark_format=csv 2>/dev/null)
tracker_items() { # name -> items per second (the items_per_second column by header)
  echo "$tracker_csv" | awk -F, -v n="\"$1\"" '
    NR == 1 || $1 == "name" { for (i = 1; i <= NF; i++) if ($i == "items_per_second") col = i; next }
    $1 == n && col { printf "%.2f", $col / 1e6 }'
}

latency=""
if [ -x "$build/bench/latency/bench_latency" ]; then
  echo "bench: relay latency" >&2
  latency=$("$build/bench/latency/bench_latency" 2>&1)
fi

# veltaro --headless beside the window, both following Commander (bench/headless.sh).
headless=$(BUILD_DIR=$build IDLE_SECONDS=$idle_s "$root/bench/headless.sh")

echo "bench: re-plugging the controller's device" >&2
replug=$(BUILD_DIR=$build "$root/bench/replug/replug.sh" 2>&1)

echo "bench: the network sources" >&2
sources=$(BUILD_DIR=$build IDLE_SECONDS=$idle_s python3 "$root/bench/sources.py" 2>&1)

echo "bench: the controller's own protocol" >&2
controller=$(BUILD_DIR=$build IDLE_SECONDS=$idle_s python3 "$root/bench/controller.py")

table=$(cat <<TABLE
| Figure | Veltaro | Baseline | Ratio | Target |
|---|---|---|---|---|
| Idle CPU, no source, window active (s per hour) | $idle_cpu | $base_cpu | $(ratio "$idle_cpu" "$base_cpu") | < 0.5 s/h; ≤ 1.2× |
| Idle CPU, no source, another window in front (s per hour) | $idle_bg_cpu | $base_cpu | $(ratio "$idle_bg_cpu" "$base_cpu") | < 0.5 s/h; ≤ 1.2× |
| Idle CPU, polling FTLink at 10 Hz (s per hour) | $poll_cpu | $base_cpu | $(ratio "$poll_cpu" "$base_cpu") | ≤ 1.2× |
| Idle CPU, polling, beside a baseline polling the same property (s per hour) | $poll_cpu | $pbase_cpu | $(ratio "$poll_cpu" "$pbase_cpu") | |
| RSS after start-up, no source (KiB) | $idle_rss | $base_rss | $(ratio "$idle_rss" "$base_rss") | ≤ 1.2× |
| RSS after start-up, polling (KiB) | $poll_rss | $base_rss | $(ratio "$poll_rss" "$base_rss") | ≤ 1.2× |
| Start-up to a mapped window (ms, median of $starts) | $app_start | $base_start | $(ratio "$app_start" "$base_start") | ≤ 1.3× |
| Flood: RSS growth over $flood_s s (KiB) | $flood_growth | | | < 1024 |
| Window answers a ping (ms: median / max, timeouts), flood vs idle baseline | $(ping_summary "$tmp/flood_answers") | $(ping_summary "$tmp/base_answers") | | |
| Flood: last change to its command at the controller (ms) | $drain_ms | | | ≤ 100 |
| Flood: commands received; last; PEGASUS.OUT | $commands; ${last_cmd:--}; ${pegasus:--} | | | |
| Tracker, Commander readings within 10 kHz (M readings/s) | $(tracker_items commanderNoRelay) | | | |
| Tracker, Commander readings that relay (M readings/s) | $(tracker_items commanderRelayEach) | | | |
| Tracker, HRD readings that relay (M readings/s) | $(tracker_items hrdRelayEach) | | | |
TABLE
)
machine="$(awk -F': *' '/model name/ {print $2; exit}' /proc/cpuinfo), $(nproc) CPUs, Linux $(uname -r), $(. /etc/os-release && echo "$PRETTY_NAME"), Qt $(pkg-config --modversion Qt6Core 2>/dev/null || echo '?')"
when=$(date -u '+%Y-%m-%d %H:%M UTC')
report=$(cat <<REPORT
# Performance

Measured by \`make bench\` (scripts/bench.sh) on $when.
Machine: $machine.
Idle figures over $idle_s s; the baseline is bench/baseline, a Qt Widgets window with a 100 ms
QTimer. The flood publishes 10,000 changes/s through \`veltaro-link-publisher --flood\` while
the controller end (bench/flood) reads 480 bytes/s; the window is pinged (_NET_WM_PING) once a
second.
Other programs sharing the machine add noise; repeat on a quiet machine before comparing runs.

$table

## Relay latency

\`\`\`
${latency:-bench_latency not built}
\`\`\`

## Without a window

$headless

## Re-plugging the controller's device

\`\`\`
$replug
\`\`\`

## Network sources (Hamlib's rigctld, the program without a window)

$sources

## The controller's own protocol and the transmit-inhibit line

The program without a window, [Controller] Protocol=SteppIR, against veltaro-steppir-sim (motors
at 10 GHz/s, so the motor time is under a millisecond); the radio is an N1MM-format datagram on
loopback; a frame is seen when the simulator logs it. The line is observed through the
modem-lines shim's record (a FIFO read by the bench), the controller there played by the bench
so that the moment of each status reply is known. See bench/controller.py.

$controller
REPORT
)
echo "$report"
mkdir -p "$(dirname "$out")"
echo "$report" >"$out"
echo "bench: written to $out" >&2
