#!/usr/bin/env bash
# The house style, checked: clang-format over every C++ file of the project, and clang-tidy with
# the checks of .clang-tidy as errors: all of them over the core (standard C++ only), the
# function size and the names over the adapters, the front ends and the tools (the Windows ones
# through build-win's compile commands, when that build is there). Needs build/ configured
# (compile_commands.json). GCC-only warning flags in the compile commands are left to clang's
# -Wno-unknown-warning-option. A file whose preprocessed text, flags and checks were found clean
# before is not checked again (tidy-cache in the build folder, scripts/tidy.py). Works in a clone and in an unpacked tree
# without .git alike (scripts/source-files.sh lists the files). --list prints the files it would
# check, and stops.
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
listed core 'src/base/*.cpp' 'src/protocols/*.cpp' 'src/relay/*.cpp' 'src/sources/*.cpp' \
  'src/app/*.cpp' 'src/view/*.cpp'
listed outer 'src/adapters/qt/*.cpp' 'src/frontends/qt/*.cpp' 'tools/*.cpp'
listed windows 'src/adapters/win32/*.cpp' 'src/frontends/win32/*.cpp'
if [ "${1:-}" = --list ]; then
  printf 'format %s\n' "${sources[@]}"
  printf 'tidy %s\n' "${core[@]}" "${outer[@]}" "${windows[@]}"
  exit 0
fi
clang-format --dry-run -Werror "${sources[@]}"

outerChecks='-*,readability-function-size,readability-identifier-naming,modernize-use-override'
scripts/tidy.py build '' "${core[@]}"
scripts/tidy.py build "$outerChecks" "${outer[@]}"
checkedWindows=0
mingw=$(ls -d /usr/lib/gcc/x86_64-w64-mingw32/*-posix 2>/dev/null | head -n 1)
if [ -f build-win/compile_commands.json ] && [ -n "$mingw" ]; then
  scripts/tidy.py build-win "$outerChecks" "${windows[@]}" -- --extra-arg=--target=x86_64-w64-mingw32 \
    "--extra-arg=-isystem$mingw/include/c++" \
    "--extra-arg=-isystem$mingw/include/c++/x86_64-w64-mingw32" \
    --extra-arg=-isystem/usr/x86_64-w64-mingw32/include
  checkedWindows=${#windows[@]}
else
  echo "style: no Windows build (build-win/): its files are not tidied" >&2
fi
echo "style: ${#sources[@]} files formatted; tidy: ${#core[@]} core, ${#outer[@]} Linux and tool," \
  "$checkedWindows Windows files"
