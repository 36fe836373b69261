#!/usr/bin/env bash
# Hamlib's dummy radio for the demo: starts `rigctld -m 1` on a free loopback port, tunes it
# through a band sweep with `rigctl` (one change per DEMO_RIG_PERIOD seconds, default 1), and
# publishes it with `veltaro-bridge --rigctld` unless BRIDGE is --direct (Veltaro's own Hamlib
# source then reads rigctld).
#
# Usage: scripts/demo-rig.sh BRIDGE|--direct [BRIDGE-OPTION...]
#   BRIDGE            path of the veltaro-bridge program
#   BRIDGE-OPTION     passed on to the bridge (e.g. --as commander); all three publishers when none
# Prints one line with the PIDs and the port it started, runs until SIGINT or SIGTERM, then stops
# what it started (by PID) and exits 0. Exits 1 when rigctld or the bridge cannot be started,
# 2 on bad usage.
set -uo pipefail

if [ $# -lt 1 ] || { [ "$1" != --direct ] && [ ! -x "$1" ]; }; then
  echo "usage: $0 BRIDGE|--direct [BRIDGE-OPTION...]  (BRIDGE: the veltaro-bridge program)" >&2
  exit 2
fi
bridge=$1
shift
for tool in rigctld rigctl; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "demo-rig: $tool not found (Debian package libhamlib-utils)" >&2
    exit 1
  fi
done
period=${DEMO_RIG_PERIOD:-1}

pids=()
cleanup() {
  trap - EXIT INT TERM
  # The bridge first, so that it does not report rigctld as lost on the way out.
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    kill "${pids[i]}" 2>/dev/null
    wait "${pids[i]}" 2>/dev/null
  done
}
trap cleanup EXIT
trap 'exit 0' INT TERM

listening() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }

# A free port: a few random tries above the registered range; rigctld itself is the judge.
rig=
for _ in 1 2 3 4 5 6 7 8; do
  port=$((20000 + RANDOM % 40000))
  listening "$port" && continue
  rigctld -m 1 -T 127.0.0.1 -t "$port" >/dev/null 2>&1 &
  rig=$!
  for _ in $(seq 50); do
    listening "$port" && break
    kill -0 "$rig" 2>/dev/null || break
    sleep 0.05
  done
  if kill -0 "$rig" 2>/dev/null && listening "$port"; then
    pids+=("$rig")
    break
  fi
  kill "$rig" 2>/dev/null
  wait "$rig" 2>/dev/null
  rig=
done
if [ -z "$rig" ]; then
  echo "demo-rig: rigctld could not be started on a loopback port" >&2
  exit 1
fi

if [ "$bridge" = --direct ]; then
  echo "demo-rig: rigctld -m 1 (pid $rig) on 127.0.0.1:$port"
else
  "$bridge" --rigctld "127.0.0.1:$port" "$@" &
  pids+=($!)
  sleep 0.2
  if ! kill -0 "${pids[1]}" 2>/dev/null; then
    echo "demo-rig: veltaro-bridge ended at once" >&2
    exit 1
  fi
  echo "demo-rig: rigctld -m 1 (pid $rig) on 127.0.0.1:$port, veltaro-bridge (pid ${pids[1]})"
fi

# Six 5 kHz steps up from the bottom of each band, so every other step moves the antenna.
bands=(1800000 3500000 7000000 10100000 14000000 18068000 21000000 24890000 28000000 50000000)
while :; do
  for low in "${bands[@]}"; do
    for step in 0 1 2 3 4 5; do
      rigctl -m 2 -r "127.0.0.1:$port" F $((low + step * 5000)) >/dev/null 2>&1 ||
        echo "demo-rig: rigctl could not tune the dummy radio" >&2
      sleep "$period" &
      wait $!
    done
  done
done
