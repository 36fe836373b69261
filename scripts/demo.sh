#!/usr/bin/env bash
# The demo: a simulated rig, the real program speaking the SteppIR controller's own protocol, and
# the simulated controller (veltaro-steppir-sim on a pty) whose motors move the elements at
# DEMO_KHZ_PER_S kHz per second (default 1000). The terminal shows each set frame the controller
# receives and, from the program's state feed, the antenna following: moving, then tuned; the
# window's antenna line shows the same.
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

# The simulated controller: its pty becomes "Com 1"; each frame it receives is printed, without
# the status requests (one every 1.5 s at least).
"$build/veltaro-steppir-sim" --link "$tmp/com1" --khz-per-s "${DEMO_KHZ_PER_S:-1000}" --start-hz 1800000 \
  2> >(while IFS= read -r frame; do
         [ "$frame" = "status?" ] || printf '%s  controller received: %s\n' "$(date +%T.%3N)" "$frame"
       done) >/dev/null &
pids+=($!)
for _ in $(seq 100); do [ -e "$tmp/com1" ] && break; sleep 0.05; done
if [ ! -e "$tmp/com1" ]; then echo "demo: the simulated controller did not start" >&2; exit 1; fi

# The program's state feed on a loopback port: each change of the antenna's state is printed.
mkfifo "$tmp/feed"
python3 -u "$root/tools/feed_listen.py" --port 0 >"$tmp/feed" 2>/dev/null &
pids+=($!)
last= shown=0
while IFS= read -r line; do
  if [[ "$line" == "listening "* ]]; then echo "${line#listening }" >"$tmp/feed.port"; continue; fi
  [[ "$line" =~ antennaState=\"([^\"]*)\" ]] || continue
  state=${BASH_REMATCH[1]}
  hz=
  [[ "$line" =~ antennaHz=([0-9]+) ]] && hz=${BASH_REMATCH[1]}
  # A change of state at once; the elements' progress while they move once a second.
  now=${EPOCHREALTIME/[.,]/}
  [ "$state $hz" = "$last" ] && continue
  [ "$state" = "${last%% *}" ] && [ $((now - shown)) -lt 1000000 ] && continue
  last="$state $hz"
  shown=$now
  if [ -n "$hz" ]; then
    printf '%s  antenna %s, elements at %d.%03d MHz\n' "$(date +%T.%3N)" "$state" \
      $((hz / 1000000)) $((hz % 1000000 / 1000))
  else
    printf '%s  antenna %s\n' "$(date +%T.%3N)" "$state"
  fi
done <"$tmp/feed" &
pids+=($!)
for _ in $(seq 100); do [ -s "$tmp/feed.port" ] && break; sleep 0.05; done
feedport=$(cat "$tmp/feed.port" 2>/dev/null)

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

[Controller]
Protocol=SteppIR

[Feed]
Address=127.0.0.1:${feedport:-12070}

[Ports]
Com1=$tmp/com1
CONF
sed -i "s/^$source_box=0/$source_box=1/" "$tmp/config/Veltaro/Veltaro.conf"
# PEGASUS.OUT is written beside the program, so the demo runs a copy in its own folder.
cp "$build/veltaro" "$tmp/app/veltaro"

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
