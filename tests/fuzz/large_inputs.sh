#!/usr/bin/env bash
# Link texts of 1 MiB for the link_readings target: long runs of digits, blanks, hex digits,
# exponent digits and many deliveries. Runs the given target (a libFuzzer binary or a replay
# runner, with any extra options) on each; the caller bounds the time.
# Usage: large_inputs.sh TARGET [OPTION...]
set -euo pipefail
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
mib=1048576
fill() { head -c "$1" /dev/zero | tr '\0' "$2"; }
# The first byte picks the source: 0 Commander, 2 HRD (see fuzz/link_readings.cpp).
{ printf '\000'; fill $((mib - 1)) 7; } >"$dir/commander_digits"
{ printf '\000'; fill $((mib - 20)) ' '; printf '14074'; } >"$dir/commander_blanks"
{ printf '\000'; printf '0.'; fill $((mib - 10)) 0; printf '1'; } >"$dir/commander_fraction"
{ printf '\002'; fill $((mib - 1)) 9; } >"$dir/hrd_digits"
{ printf '\002'; fill $((mib - 20)) ' '; printf '14074000'; } >"$dir/hrd_blanks"
{ printf '\002&H'; fill $((mib - 3)) F; } >"$dir/hrd_hex"
{ printf '\002&O'; fill $((mib - 3)) 7; } >"$dir/hrd_octal"
{ printf '\0021e'; fill $((mib - 3)) 9; } >"$dir/hrd_exponent"
{ printf '\002-.'; fill $((mib - 3)) 0; } >"$dir/hrd_fraction"
{ printf '\002'; for _ in $(seq 14); do printf '14074000\000'; done; fill $((mib - 200)) 5; } \
  >"$dir/hrd_deliveries"
target=$1
shift
"$target" "$@" "$dir"/*
