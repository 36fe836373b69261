#!/usr/bin/env bash
# Runs a command with what the tests and the demo need around them: a D-Bus session bus and an
# X display with a window manager. Whatever is already there is used; what is started here is
# stopped when the command ends.
#
# Xvfb picks a free display itself (-displayfd), so two runs on one machine never share one.
# openbox is watched: should it ever exit, that is reported on stderr with the end of its log
# and it is started again, so one lost window manager cannot fail every later window test.
set -uo pipefail

if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ]; then
  exec dbus-run-session -- "$0" "$@"
fi

started=()
work=""
cleanup() {
  # Newest first: the window manager goes before its display.
  for ((i = ${#started[@]} - 1; i >= 0; i--)); do
    kill "${started[i]}" 2>/dev/null
    wait "${started[i]}" 2>/dev/null
  done
  [ -n "$work" ] && rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

say() { echo "with-session: $*" >&2; }

wm_present() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }

# Runs openbox until told to stop, starting it again whenever it exits on its own.
watch_wm() {
  local log=$1 server=$2 wm=""
  trap '[ -n "$wm" ] && kill "$wm" 2>/dev/null; wait 2>/dev/null; exit 0' TERM
  while :; do
    openbox >>"$log" 2>&1 &
    wm=$!
    wait "$wm"
    local rc=$?
    kill -0 "$server" 2>/dev/null || exit 0
    say "openbox exited with status $rc; starting it again. Its log ends:"
    tail -n 5 "$log" | sed 's/^/  /' >&2
    sleep 0.2
  done
}

if [ -z "${DISPLAY:-}" ]; then
  work=$(mktemp -d)
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -dpi 96 -nolisten tcp -noreset \
    3>"$work/display" >"$work/xvfb.log" 2>&1 &
  xvfb=$!
  started+=($xvfb)
  for _ in $(seq 200); do
    grep -q '^[0-9]' "$work/display" 2>/dev/null && break
    sleep 0.05
  done
  n=$(head -n 1 "$work/display" 2>/dev/null)
  if ! [[ "$n" =~ ^[0-9]+$ ]]; then
    say "Xvfb did not start:"
    sed 's/^/  /' "$work/xvfb.log" >&2
    exit 1
  fi
  export DISPLAY=":$n"

  watch_wm "$work/openbox.log" "$xvfb" &
  started+=($!)
  for _ in $(seq 200); do wm_present && break; sleep 0.05; done
  if ! wm_present; then
    say "openbox did not take display $DISPLAY within 10 s:"
    sed 's/^/  /' "$work/openbox.log" >&2
    exit 1
  fi
fi

"$@"
