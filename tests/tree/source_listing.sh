#!/usr/bin/env bash
# A tree without .git (a release archive, a downloaded tree) lists the same files as the clone.
# The tracked files are copied into a folder inside an unrelated git repository (a home folder
# kept under git), together with what a build leaves there (build*/ with CMake's compiler-test
# sources, .cache/, compile_commands.json, an editor's swap file). There, the listing of every
# file must equal git ls-files here, and the style check's listing must be the one it makes here.
# Usage: source_listing.sh SOURCE_DIR. Skipped (77) when SOURCE_DIR is not a git work tree.
set -euo pipefail
src=$(cd "${1:?usage: source_listing.sh SOURCE_DIR}" && pwd -P)
if ! command -v git >/dev/null 2>&1 ||
   [ "$(git -C "$src" rev-parse --show-toplevel 2>/dev/null || true)" != "$src" ]; then
  echo "skipped: $src is not a git work tree, so there is no listing to compare with"
  exit 77
fi
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
git init -q "$tmp"
copy=$tmp/veltaro
mkdir "$copy"

tracked() {
  git -C "$src" ls-files -z | while IFS= read -r -d '' f; do
    [ -f "$src/$f" ] && printf '%s\n' "$f"
  done
}
tracked | tar -C "$src" -cf - -T - | tar -C "$copy" -xf -
for f in build/CMakeFiles/3.25.1/CompilerIdCXX/CMakeCXXCompilerId.cpp build/generated/version.h \
         build-asan/src/x.cpp build-win/googletest/y.h .cache/clangd/index/z.h \
         compile_commands.json src/compile_commands.json src/relay/tracker.cpp.swp; do
  mkdir -p "$(dirname "$copy/$f")"
  echo "// generated" >"$copy/$f"
done

failed=0
if ! diff -u <(tracked) <("$copy/scripts/source-files.sh"); then
  echo "FAIL: the files listed without git differ from git ls-files (- here, + there)"
  failed=1
fi
if ! diff -u <("$src/scripts/style.sh" --list) <("$copy/scripts/style.sh" --list); then
  echo "FAIL: the style check lists other files without git (- here, + there)"
  failed=1
fi
[ "$failed" = 0 ] && echo "listing without git: $(tracked | wc -l) files, as git ls-files"
exit "$failed"
