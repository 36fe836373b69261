#!/usr/bin/env python3
"""clang-tidy over files, as many at a time as JOBS says, with every warning an error. A file is
not checked again while it, the project's headers, its compile command, the checks and
.clang-tidy are the same as at a clean run before (a stamp in BUILD/tidy-cache).

Usage: scripts/tidy.py BUILD CHECKS FILE... [-- EXTRA CLANG-TIDY ARGS...]
CHECKS is a --checks value, or '' for those of .clang-tidy. Exits 1 when a file is not clean."""
import concurrent.futures
import hashlib
import json
import os
import pathlib
import subprocess
import sys

root = pathlib.Path(__file__).resolve().parent.parent


def headers_digest():
    digest = hashlib.sha256()
    for top in ("src", "tools"):
        for path in sorted((root / top).rglob("*.h")):
            digest.update(path.as_posix().encode() + b"\0" + path.read_bytes())
    digest.update((root / ".clang-tidy").read_bytes())
    return digest.hexdigest()


def main():
    args = sys.argv[1:]
    extra = args[args.index("--") + 1:] if "--" in args else []
    args = args[: args.index("--")] if "--" in args else args
    build, checks, files = pathlib.Path(args[0]), args[1], args[2:]
    commands = {}
    for entry in json.loads((build / "compile_commands.json").read_text()):
        command = entry.get("command") or " ".join(entry["arguments"])
        commands[os.path.realpath(os.path.join(entry["directory"], entry["file"]))] = command
    cache = build / "tidy-cache"
    cache.mkdir(exist_ok=True)
    common = headers_digest() + "\0" + checks + "\0" + " ".join(extra)

    def stamp(name):
        command = commands.get(os.path.realpath(name))
        if command is None:
            return None
        digest = hashlib.sha256((common + "\0" + command).encode())
        digest.update(pathlib.Path(name).read_bytes())
        return cache / digest.hexdigest()[:40]

    def tidy(name):
        mark = stamp(name)
        if mark is None:
            return name, 1, f"{name} is not in {build}/compile_commands.json\n"
        if mark.exists():
            return name, 0, ""
        command = ["clang-tidy", "-p", str(build), "--quiet", "--warnings-as-errors=*",
                   "--extra-arg=-Wno-unknown-warning-option"] + extra
        if checks:
            command.append("--checks=" + checks)
        run = subprocess.run(command + [name], capture_output=True, text=True)
        output = run.stdout + "".join(line for line in run.stderr.splitlines(True)
                                      if "warnings generated" not in line)
        if run.returncode == 0:
            mark.touch()
        return name, run.returncode, output

    failed = 0
    jobs = int(os.environ.get("JOBS", "2"))
    with concurrent.futures.ThreadPoolExecutor(max_workers=jobs) as pool:
        for name, code, output in pool.map(tidy, files):
            sys.stdout.write(output)
            failed += code != 0
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
