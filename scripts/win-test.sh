#!/usr/bin/env bash
# Runs the Windows tests of build-win/ under Wine: a private prefix in build-win/wineprefix with
# the null display driver and a persistent wineserver, killed at the end (ctest would otherwise
# wait on the pipes it inherited). Arguments go to ctest. The fuzz replays are Linux-only.
set -uo pipefail
source "$(dirname "$0")/win-env.sh"
trap win_stop EXIT
win_prime
ctest --test-dir "$VELTARO_WIN_BUILD" --output-on-failure -E '^fuzz_' "$@"
