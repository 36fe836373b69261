#!/usr/bin/env bash
# The demo: a simulated rig published on the session bus, the real program, and a virtual
# antenna controller (a pty pair) that prints every command it receives.
# Stops everything it started on Ctrl-C or after DEMO_SECONDS seconds.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
tmp=$(mktemp -d /tmp/veltaro-demo.XXXXXX)
pids=()

cleanup() {
  trap - EXIT INT TERM
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null; done
  if [ -f "$tmp/app/PEGASUS.OUT" ]; then
    printf 'PEGASUS.OUT holds: %s\n' "$(tr -d '\r\n' < "$tmp/app/PEGASUS.OUT")"
  fi
  rm -rf "$tmp"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# The virtual controller: one end becomes "Com 1", the other is read here.
socat pty,raw,echo=0,link="$tmp/controller" pty,raw,echo=0,link="$tmp/com1" 2>/dev/null &
pids+=($!)
for _ in $(seq 100); do [ -e "$tmp/controller" ] && [ -e "$tmp/com1" ] && break; sleep 0.05; done
if [ ! -e "$tmp/com1" ]; then echo "demo: socat could not make a pty pair" >&2; exit 1; fi

# The rig: Hamlib's dummy radio swept through the bands, read by Veltaro's own Hamlib source;
# without Hamlib, the link publisher's simulated rig, standing in for Commander on the bus.
if command -v rigctld >/dev/null 2>&1; then
  "$root/scripts/demo-rig.sh" > "$tmp/rig.out" &
  pids+=($!)
  for _ in $(seq 200); do grep -q ' on 127.0.0.1:' "$tmp/rig.out" 2>/dev/null && break; sleep 0.05; done
  rigport=$(sed -n 's/.* on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$tmp/rig.out" | head -n 1)
  if [ -z "$rigport" ]; then echo "demo: rigctld could not be started" >&2; exit 1; fi
  echo "demo: Hamlib's dummy rig (rigctld -m 1 on 127.0.0.1:$rigport), swept through the bands"
  source_box=CheckHamlib
  source_name=Hamlib
else
  echo "demo: the simulated rig of veltaro-link-publisher --sweep, standing in for Commander"
  "$build/veltaro-link-publisher" --sweep --as commander >/dev/null &
  pids+=($!)
  source_box=CheckCommander
  source_name=Commander
fi

# Settings of the demo only: the user's own settings are never touched.
mkdir -p "$tmp/config/Veltaro" "$tmp/app"
cat > "$tmp/config/Veltaro/Veltaro.conf" <<CONF
[StartUp]
ComPort=1
CheckCommander=0
CheckTRX=0
CheckHRD=0
CheckHamlib=0
CheckFlrig=0
CheckN1MM=0
CheckOnTop=0

[Addresses]
Hamlib=127.0.0.1:${rigport:-4532}

[Ports]
Com1=$tmp/com1
CONF
sed -i "s/^$source_box=0/$source_box=1/" "$tmp/config/Veltaro/Veltaro.conf"
# PEGASUS.OUT is written beside the program, so the demo runs a copy in its own folder.
cp "$build/veltaro" "$tmp/app/veltaro"

(
  while IFS= read -r -d ';' cmd; do
    digits=${cmd#FA}
    if [[ "$digits" =~ ^[0-9]{11}$ ]]; then
      hz=$((10#$digits))
      printf '%s  controller received %s;  -> %d.%06d MHz\n' "$(date +%T.%3N)" "$cmd" \
        $((hz / 1000000)) $((hz % 1000000))
    else
      printf '%s  controller received %q (not a frequency command)\n' "$(date +%T.%3N)" "$cmd"
    fi
  done < "$tmp/controller"
) 2>/dev/null & # the pty's end reads as an I/O error when the demo stops
pids+=($!)

XDG_CONFIG_HOME="$tmp/config" "$tmp/app/veltaro" &
app=$!
pids+=($app)
echo "demo: Veltaro is running with $source_name as its source; Ctrl-C stops the demo"

if [ -n "${DEMO_SECONDS:-}" ]; then
  end=$((SECONDS + DEMO_SECONDS))
  while [ $SECONDS -lt $end ] && kill -0 "$app" 2>/dev/null; do sleep 0.5; done
else
  wait "$app"
fi
exit 0
