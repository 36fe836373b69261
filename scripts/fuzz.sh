#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, ASan, UBSan) and runs each one for a while on a
# working copy of its seed corpus, then prints a table of runs, executions and findings.
# Usage: scripts/fuzz.sh [SECONDS] [TARGET...]   (SECONDS defaults to $FUZZ_SECONDS or 60)
# Findings are kept under $FUZZ_WORK_DIR (default build-fuzz/work/<target>/artifacts).
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-${FUZZ_SECONDS:-60}}
[ $# -gt 0 ] && shift
build=${FUZZ_BUILD_DIR:-$root/build-fuzz}
work=${FUZZ_WORK_DIR:-$build/work}

"$root/scripts/deps.sh" fuzz
cmake -S "$root/fuzz" -B "$build" -DCMAKE_CXX_COMPILER=clang++ \
      -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null || exit 1
cmake --build "$build" -j "${JOBS:-$(nproc)}" >/dev/null || exit 1

if [ $# -gt 0 ]; then
  targets=("$@")
else
  targets=()
  for src in "$root"/fuzz/*.cpp; do
    name=$(basename "$src" .cpp)
    [ "$name" = replay_main ] || targets+=("$name")
  done
fi

failed=0
printf '%-20s %8s %14s %10s %s\n' target seconds executions exec/s result
for t in "${targets[@]}"; do
  dir="$work/$t"
  mkdir -p "$dir/corpus" "$dir/artifacts"
  # Link texts may be as long as 1 MiB; the other inputs are short records.
  maxlen=4096
  [ "$t" = link_readings ] && maxlen=1048576
  start=$(date +%s)
  "$build/fuzz_$t" -max_total_time="$seconds" -max_len="$maxlen" -timeout=10 \
      -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$dir/artifacts/" \
      "$dir/corpus" "$root/fuzz/corpus/$t" >"$dir/log" 2>&1
  rc=$?
  took=$(( $(date +%s) - start ))
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$dir/log" | tail -1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$dir/log" | tail -1)
  result=ok
  if [ $rc -ne 0 ]; then
    result="FAILED (see $dir/log)"
    failed=1
  fi
  printf '%-20s %8s %14s %10s %s\n' "$t" "$took" "${execs:-?}" "${rate:-?}" "$result"
done
exit $failed
