#!/usr/bin/env bash
# Hamlib's dummy radio for the demo: starts `rigctld -m 1` on a free loopback port and tunes it
# through a band sweep with `rigctl` (one change per DEMO_RIG_PERIOD seconds, default 1);
# Veltaro's own Hamlib source reads it.
#
# Usage: scripts/demo-rig.sh
# Prints one line with the PID and the port it started, runs until SIGINT or SIGTERM, then stops
# what it started (by PID) and exits 0. Exits 1 when rigctld cannot be started, 2 on bad usage.
set -uo pipefail

if [ $# -gt 0 ]; then
  echo "usage: $0" >&2
  exit 2
fi
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
  for pid in "${pids[@]}"; do
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
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

echo "demo-rig: rigctld -m 1 (pid $rig) on 127.0.0.1:$port"

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
