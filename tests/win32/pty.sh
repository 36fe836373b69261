# Sourced by the Wine test scripts that link a pseudo-terminal into the prefix as a COM port.

# hold_pty LINK SECONDS: a session of its own takes the pseudo-terminal as its controlling terminal
# first; the wineserver, which opens the device for the program under test, would otherwise take
# it and die of the SIGHUP when the pseudo-terminal ends. Sets held_pid; fails when not held.
hold_pty() {
  setsid sh -c 'exec 3<"$0"; exec sleep "$1"' "$1" "$2" &
  held_pid=$!
  for _ in $(seq 100); do
    [ -e "/proc/$held_pid/fd/3" ] && return 0
    sleep 0.05
  done
  echo "the pseudo-terminal $1 is not held" >&2
  return 1
}
