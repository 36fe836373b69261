#!/usr/bin/env bash
# veltaro --headless beside the windowed program, measured the same way: each follows Commander
# from veltaro-link-publisher (one frequency, then quiet) with its controller on a socat pty; after the
# link is up and 2 s have passed, RSS is read and CPU time is summed over IDLE_SECONDS (60).
# The headless program runs with no DISPLAY, WAYLAND_DISPLAY or QT_QPA_PLATFORM; the window on
# xcb. Prints a Markdown table. Run by scripts/bench.sh, or alone (BUILD_DIR, default build/).
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ] || [ -z "${DISPLAY:-}" ]; then
  exec "$root/scripts/with-session.sh" "$0" "$@"
fi
build=${BUILD_DIR:-$root/build}
idle_s=${IDLE_SECONDS:-60}
tmp=$(mktemp -d)
pids=()
stop_all() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null; done
  pids=()
}
trap 'stop_all; rm -rf "$tmp"' EXIT

cpu_ns() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{s += $1} END {printf "%d\n", s}'; }
rss_kib() { awk '/^VmRSS/ {print $2}' "/proc/$1/status" 2>/dev/null; }
wait_for() { # SECONDS COMMAND...: polls every 20 ms
  local i
  for i in $(seq $(($1 * 50))); do "${@:2}" && return 0; sleep 0.02; done
  return 1
}
# PID -> "cpu_s_per_hour rss_kib", 2 s after the link came up
idle_of() {
  sleep 2
  local r c0 c1
  r=$(rss_kib "$1")
  c0=$(cpu_ns "$1")
  sleep "$idle_s"
  c1=$(cpu_ns "$1")
  awk -v d=$((c1 - c0)) -v s="$idle_s" -v r="$r" \
    'BEGIN { printf "%.3f %d\n", d / 1e9 / s * 3600, r }'
}

# MODE (headless|window) -> "cpu rss"; a fresh copy, settings, controller and publisher each time.
measure() {
  local dir=$tmp/$1 app=""
  mkdir -p "$dir/config/Veltaro"
  cp "$build/veltaro" "$dir/veltaro"
  socat -u pty,raw,echo=0,link="$dir/com1" OPEN:"$dir/controller.log",creat 2>/dev/null &
  pids+=($!)
  wait_for 5 test -e "$dir/com1"
  printf '[StartUp]\nComPort=1\nCheckCommander=1\n[Ports]\nCom1=%s\n' "$dir/com1" \
    >"$dir/config/Veltaro/Veltaro.conf"
  echo 14074000 | "$build/veltaro-link-publisher" --stdin --as commander >/dev/null 2>&1 &
  pids+=($!)
  wait_for 10 dbus-send --session --print-reply --dest=org.freedesktop.DBus / \
    org.freedesktop.DBus.NameHasOwner string:org.veltaro.Link.CI_2dV_20Commander \
    2>/dev/null | grep -q 'boolean true' || true
  if [ "$1" = headless ]; then
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM XDG_CONFIG_HOME="$dir/config" \
      "$dir/veltaro" --headless 2>"$dir/report.log" &
  else
    XDG_CONFIG_HOME="$dir/config" QT_QPA_PLATFORM=xcb "$dir/veltaro" >/dev/null 2>&1 &
  fi
  app=$!
  pids+=($app)
  # The link is up once the command has reached the controller.
  if wait_for 20 grep -q FA00014074000 "$dir/controller.log"; then idle_of $app; else echo "- -"; fi
  stop_all
}

echo "bench: headless and window, idle over $idle_s s" >&2
measure headless >"$tmp/headless.txt"
measure window >"$tmp/window.txt"
read -r h_cpu h_rss <"$tmp/headless.txt"
read -r w_cpu w_rss <"$tmp/window.txt"
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }'; }
cat <<TABLE
| Figure, following Commander (idle) | --headless | Window | Ratio |
|---|---|---|---|
| RSS after start-up (KiB) | $h_rss | $w_rss | $(ratio "$h_rss" "$w_rss") |
| Idle CPU over $idle_s s (s per hour) | $h_cpu | $w_cpu | $(ratio "$h_cpu" "$w_cpu") |
TABLE
