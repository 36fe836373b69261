#!/usr/bin/env bash
# The house style, checked: clang-format over every C++ file of the project, and clang-tidy over
# the core (standard C++ only) with the checks in .clang-tidy as errors. Needs build/ configured
# (compile_commands.json). GCC-only warning flags in the compile commands are left to clang's
# -Wno-unknown-warning-option. Works in a clone and in an unpacked tree without .git alike
# (scripts/source-files.sh lists the files). --list prints the files it would check, and stops.
set -euo pipefail
cd "$(dirname "$0")/.."
listed() {
  local -n into=$1
  shift
  mapfile -t into < <(scripts/source-files.sh "$@")
  if [ ${#into[@]} -eq 0 ]; then
    echo "style: no files match $*" >&2
    exit 1
  fi
}
listed sources '*.cpp' '*.h'
listed core 'src/relay/*.cpp' 'src/sources/*.cpp' 'src/shell/*.cpp' 'src/about/*.cpp'
if [ "${1:-}" = --list ]; then
  printf 'format %s\n' "${sources[@]}"
  printf 'tidy %s\n' "${core[@]}"
  exit 0
fi
clang-format --dry-run -Werror "${sources[@]}"
printf '%s\n' "${core[@]}" | xargs -P "${JOBS:-2}" -n 4 clang-tidy -p build --quiet \
  --warnings-as-errors='*' --extra-arg=-Wno-unknown-warning-option 2> >(grep -v 'warnings generated' >&2)
echo "style: ${#sources[@]} files formatted, ${#core[@]} core files tidy"
