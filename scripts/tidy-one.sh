#!/usr/bin/env bash
# clang-tidy over one file, skipped when its preprocessed text, compile command, checks and
# .clang-tidy are the same as at a clean run before (a stamp in $TIDY_CACHE).
# Usage: scripts/tidy-one.sh BUILD_DIR CHECKS FILE [EXTRA CLANG-TIDY ARGS...]
set -uo pipefail
build=$1 checks=$2 file=$3
shift 3
command=$(python3 -c '
import json, os, sys
for entry in json.load(open(sys.argv[1])):
    if os.path.realpath(entry["file"]) == os.path.realpath(sys.argv[2]):
        print(entry.get("command") or " ".join(entry["arguments"])); break
' "$build/compile_commands.json" "$file")
if [ -z "$command" ]; then
  echo "style: $file is not in $build/compile_commands.json" >&2
  exit 1
fi
# The preprocessed text stands for the file and every header it reads.
read -r -a words <<<"$command"
flags=()
for w in "${words[@]:1}"; do
  case $w in -I* | -D* | -isystem | -std=* | /*) flags+=("$w") ;; esac
done
stamp=$(cd "$build" && { "${words[0]}" -E -P -w "${flags[@]}" "$(realpath -m "$OLDPWD/$file")" \
  2>/dev/null || echo "unpreprocessed $RANDOM$RANDOM"; printf '%s\n%s\n%s\n' "$command" "$checks" "$*"; \
  cat "$OLDPWD/.clang-tidy"; } | sha256sum | cut -c1-40)
[ -f "$TIDY_CACHE/$stamp" ] && exit 0
args=(-p "$build" --quiet --warnings-as-errors='*' --extra-arg=-Wno-unknown-warning-option "$@")
[ -n "$checks" ] && args+=("--checks=$checks")
if clang-tidy "${args[@]}" "$file" 2> >(grep -v 'warnings generated' >&2); then
  touch "$TIDY_CACHE/$stamp"
else
  exit 1
fi
