#!/usr/bin/env bash
# The house style, checked: clang-format over every tracked C++ file, and clang-tidy over the
# core (standard C++ only) with the checks in .clang-tidy as errors. Needs build/ configured
# (compile_commands.json). GCC-only warning flags in the compile commands are left to clang's
# -Wno-unknown-warning-option.
set -euo pipefail
cd "$(dirname "$0")/.."
existing() { while read -r f; do [ -f "$f" ] && echo "$f"; done; }
mapfile -t sources < <(git ls-files '*.cpp' '*.h' | existing)
clang-format --dry-run -Werror "${sources[@]}"
mapfile -t core < <(git ls-files 'src/relay/*.cpp' 'src/sources/*.cpp' 'src/shell/*.cpp' \
                                 'src/about/*.cpp' | existing)
printf '%s\n' "${core[@]}" | xargs -P "${JOBS:-2}" -n 4 clang-tidy -p build --quiet \
  --warnings-as-errors='*' --extra-arg=-Wno-unknown-warning-option 2> >(grep -v 'warnings generated' >&2)
echo "style: ${#sources[@]} files formatted, ${#core[@]} core files tidy"
