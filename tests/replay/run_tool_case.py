#!/usr/bin/python3
"""Runs the real executable on one input file, as the test suite's replay of
fuzz findings and hostile files does, and checks what it did.

The file is copied into a scratch folder of its own and converted there. The
check passes when the tool prints exactly one line, "<path>: <expected>",
exits with 0, finishes within --timeout, and (when given) peaks at no more
than --max-rss bytes and writes no more than --max-written bytes. Peak RSS is
the tool's own, measured by GNU time.

usage: run_tool_case.py --tool EXE --input FILE --expect TEXT [--arg A]...
                        [--skip-bytes N] [--max-rss B] [--max-written B]
       run_tool_case.py --tool EXE --manifest M --case NAME --expect TEXT
          (a case written by bench/hostile_inputs.py --write: file, arguments
           and limits from its manifest)
       run_tool_case.py --manifest M --table T
          (checks that the table of report lines, "case<TAB>line" per line,
           names exactly the manifest's cases)
Add --print to show what the tool printed instead of checking it, and
--emulator PROGRAM to run a tool built for another machine under PROGRAM
(its peak RSS then includes the emulator's own).
"""

import argparse
import json
import os
import shutil
import subprocess
import sys
import tempfile


def folder_bytes(path, skip):
    total = 0
    for root, _, files in os.walk(path):
        for name in files:
            full = os.path.join(root, name)
            if full != skip:
                total += os.lstat(full).st_size
    return total


def check_table(manifest, table):
    with open(manifest) as f:
        cases = {c["name"] for c in json.load(f)}
    with open(table, encoding="utf-8") as f:
        lines = {entry.split("\t", 1)[0] for entry in f.read().splitlines() if "\t" in entry}
    for name in sorted(cases - lines):
        print(f"FAIL: case {name!r} has no report line in {table}")
    for name in sorted(lines - cases):
        print(f"FAIL: {table} has a line for {name!r}, which is no case")
    return 0 if cases == lines else 1


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--tool")
    parser.add_argument("--table")
    parser.add_argument("--input")
    parser.add_argument("--manifest")
    parser.add_argument("--case")
    parser.add_argument("--arg", action="append", default=[], help="an argument put before the input path")
    parser.add_argument("--skip-bytes", type=int, default=0, help="leading bytes of the input that are not the file")
    parser.add_argument("--expect", help="the report line after '<path>: '")
    parser.add_argument("--max-rss", type=int)
    parser.add_argument("--max-written", type=int)
    parser.add_argument("--no-rss", action="store_true", help="do not check peak RSS (sanitizer builds)")
    parser.add_argument("--timeout", type=float, default=120.0)
    parser.add_argument("--print", action="store_true")
    parser.add_argument("--emulator", help="runs the tool when it is built for another machine")
    opts = parser.parse_args()

    if opts.table:
        return check_table(opts.manifest, opts.table)
    tool = os.path.abspath(opts.tool)
    args, max_rss, max_written = list(opts.arg), opts.max_rss, opts.max_written
    source = opts.input
    if opts.manifest:
        with open(opts.manifest) as f:
            entry = next((c for c in json.load(f) if c["name"] == opts.case), None)
        if entry is None:
            sys.exit(f"no case named {opts.case!r} in {opts.manifest}")
        source = os.path.join(os.path.dirname(opts.manifest), entry["file"])
        args += entry["args"]
        max_rss, max_written = entry["max_rss"], entry["max_written"]
    if opts.no_rss:
        max_rss = None
    with open(source, "rb") as f:
        data = f.read()[opts.skip_bytes:]

    work = tempfile.mkdtemp(prefix="lumenpull-replay-")
    try:
        path = os.path.join(work, "input.tex")
        with open(path, "wb") as f:
            f.write(data)
        rss_file = os.path.join(work, "rss")
        emulator = [opts.emulator] if opts.emulator else []
        command = ["/usr/bin/time", "-f", "%M", "-o", rss_file] + emulator + [tool] + args + [path]
        try:
            run = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, cwd=work,
                                 timeout=opts.timeout)
        except subprocess.TimeoutExpired:
            sys.exit(f"FAIL: no result within {opts.timeout} s")
        with open(rss_file) as f:
            rss = int(f.read().split()[-1]) * 1024
        os.remove(rss_file)
        written = folder_bytes(work, path)
        output = run.stdout.decode(errors="replace")
        print(f"exit {run.returncode}, peak RSS {rss} B, wrote {written} B; printed:\n{output}", end="")
        if run.stderr:
            print(f"standard error:\n{run.stderr.decode(errors='replace')}", end="")
        if opts.print:
            return 0
        problems = []
        expected = f"{path}: {opts.expect}\n"
        if output != expected:
            problems.append(f"expected the one line {expected!r}")
        if run.stderr:
            problems.append("printed on standard error")
        if run.returncode != 0:
            problems.append(f"exit code {run.returncode}")
        if max_rss is not None and rss > max_rss:
            problems.append(f"peak RSS {rss} B over {max_rss} B")
        if max_written is not None and written > max_written:
            problems.append(f"wrote {written} B, over {max_written} B")
        for p in problems:
            print("FAIL: " + p)
        return 1 if problems else 0
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
