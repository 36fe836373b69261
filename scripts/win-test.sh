#!/usr/bin/env bash
# Runs the Windows tests of build-win/ under Wine: a private prefix in build-win/wineprefix with
# the null display driver and a persistent wineserver, killed at the end (ctest would otherwise
# wait on the pipes it inherited). Arguments go to ctest. The fuzz replays are Linux-only. The
# tests run in a network of their own with the loopback alone (tests/support/private-net.sh), as
# the network cases join multicast groups on every adapter.
set -uo pipefail
if [ -z "${VELTARO_PRIVATE_NET:-}" ]; then
  export VELTARO_PRIVATE_NET=1
  exec "$(dirname "$0")/../tests/support/private-net.sh" "$0" "$@"
fi
source "$(dirname "$0")/win-env.sh"
trap win_stop EXIT
win_prime
ctest --test-dir "$VELTARO_WIN_BUILD" --output-on-failure -E '^fuzz_' "$@"
