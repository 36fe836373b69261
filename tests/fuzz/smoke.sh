#!/usr/bin/env bash
# A short libFuzzer run of one target from its seed corpus; new inputs go to a temporary folder,
# findings to ARTIFACTS (kept for a look). Prints the number of executions.
# Usage: smoke.sh FUZZER SEEDS SECONDS MAX_LEN ARTIFACTS
set -uo pipefail
fuzzer=$1 seeds=$2 seconds=$3 maxlen=$4 artifacts=$5
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$artifacts"
"$fuzzer" -max_total_time="$seconds" -max_len="$maxlen" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$artifacts/" "$work" "$seeds" >"$work/log" 2>&1
rc=$?
grep -E '^stat::number_of_executed_units|^stat::average_exec_per_sec' "$work/log"
if [ $rc -ne 0 ]; then
  cat "$work/log"
  echo "fuzzer failed (exit $rc); inputs kept in $artifacts" >&2
fi
exit $rc
