#!/usr/bin/env bash
# Lists the project's own files, one per line, relative to the top folder and sorted, that match
# the patterns given (globs as git takes them: '*.cpp', 'src/relay/*.cpp'; a '*' also matches
# '/'); every file without patterns. In a git work tree whose top is this project: the tracked
# files that exist. Elsewhere (an unpacked release archive, a downloaded tree, or a tree unpacked
# inside another repository): every file but those .gitignore leaves out (build*/ and .cache/ at
# the top, compile_commands.json, *.swp) and .git.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$(pwd -P)

if command -v git >/dev/null 2>&1 &&
   [ "$(git rev-parse --show-toplevel 2>/dev/null || true)" = "$top" ]; then
  git ls-files -- "$@" | while IFS= read -r f; do [ -f "$f" ] && printf '%s\n' "$f"; done
  exit 0
fi

match=()
for pattern in "$@"; do
  match+=(${match[0]+-o} -path "./$pattern")
done
[ ${#match[@]} -gt 0 ] || match=(-true)
find . \( -path ./.git -o -type d \( -path './build*' -o -path ./.cache \) \) -prune -o \
  -type f ! -name compile_commands.json ! -name '*.swp' \( "${match[@]}" \) -print |
  sed 's|^\./||' | LC_ALL=C sort
