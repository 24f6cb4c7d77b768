#!/usr/bin/env python3
"""End-to-end benchmark: converts the benchmark corpus with the real
executable and, in the same run, with the floor program (read the same input
bytes, inflate the same zlib streams with zlib's uncompress, write the same
number of output bytes), group by group, interleaved, several times.

Reports per format group and in total: input MB/s, output MB/s, textures/s
and peak RSS of the converter, the floor's time, and the ratio converter /
floor as the median over the runs; the time of listing each group (-l)
against converting it; then how converting the corpus without its tree of
small files, with one process per file, scales from one to two processes
(xargs -P).

    bench/run_end_to_end.py --build build-bench [--corpus /tmp/lumenpull-corpus]
                            [--runs 5] [--tool LUMENPULL] [--compare-with OTHER_LUMENPULL]
                            [--types png] [--floor-types dds] [--groups bc1,tree]
                            [--large] [--jobs [--loaded]]

With --types, the converter with `-t TYPES` is timed against its default run
instead, interleaved group by group, with the output sizes of both; with
--floor-types, the converter with `-t TYPES` is timed against the floor.

With --jobs, the chosen groups (all of them by default) are converted and
listed with `-j 1` and with `-j 2`, interleaved, and the wall time, user and
system CPU time, minor page faults and peak RSS of each are reported, with
the speed-up and the memory bound (2 x the one-job peak + 16 MiB); with
--loaded, a background `-j 2` conversion of the same files (into a scratch
folder) runs beside every timed run, as other work on a busy host would.
--large works on the large-texture corpus (make_bench_corpus --large,
under --corpus or /tmp/lumenpull-corpus-large), where the buffers of each
file are several megabytes.

The corpus is generated under --corpus (outside the source tree) by
make_bench_corpus when its manifest is missing. With --compare-with, every
output file of the corpus is also produced by the other executable and
compared byte for byte first.
"""

import argparse
import contextlib
import glob
import hashlib
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import threading
import time

OUTPUT_SUFFIXES = tuple(suffix for ext in ("tga", "hdr", "png", "dds", "exr") for suffix in ("." + ext, "_??." + ext))


def parse_args():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", default="build-bench", help="build folder with lumenpull and bench/ programs")
    parser.add_argument("--corpus", help="corpus folder (default: /tmp/lumenpull-corpus, "
                                         "or /tmp/lumenpull-corpus-large with --large)")
    parser.add_argument("--large", action="store_true", help="the large-texture corpus")
    parser.add_argument("--jobs", action="store_true", help="time -j 1 against -j 2")
    parser.add_argument("--loaded", action="store_true", help="with --jobs: a background -j 2 run beside each run")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--scaling-runs", type=int, default=3)
    parser.add_argument("--tool", help="the converter to time (default: lumenpull in the build folder)")
    parser.add_argument("--compare-with", help="another lumenpull executable whose outputs must be identical")
    parser.add_argument("--types", help="time `-t TYPES` against the default output types instead of the floor")
    parser.add_argument("--floor-types", help="time `-t TYPES` against the floor (e.g. dds)")
    parser.add_argument("--groups", help="only these groups, comma-separated (e.g. bc1,tree)")
    args = parser.parse_args()
    if args.corpus is None:
        name = "lumenpull-corpus-large" if args.large else "lumenpull-corpus"
        args.corpus = os.path.join(tempfile.gettempdir(), name)
    return args


class Entry:
    def __init__(self, corpus, line):
        name, self.group, self.container, raw_size, self.ranges = line.rstrip("\n").split("\t")
        self.path = os.path.join(corpus, name)
        self.raw_size = int(raw_size)
        self.stem = os.path.splitext(self.path)[0]
        self.outputs = []  # (path, size) after the first conversion

    def output_files(self):
        if self.outputs:
            return [p for p, _ in self.outputs if os.path.exists(p)]
        found = []
        for suffix in OUTPUT_SUFFIXES:
            found.extend(glob.glob(glob.escape(self.stem) + suffix))
        return sorted(found)


def remove_outputs(entries):
    for entry in entries:
        for path in entry.output_files():
            os.remove(path)


def clear_known_outputs(entries):
    """Forgets the recorded outputs, so the next look globs for them."""
    for entry in entries:
        entry.outputs = []


def timed(command):
    """Runs a command; returns (wall seconds, CPU seconds, peak RSS in MiB).
    The peak is taken by /usr/bin/time: a child forked from this script would
    count the script's own memory as well. CPU time comes from wait4, which
    counts /usr/bin/time and the command (time prints it in steps of 10 ms)."""
    with tempfile.NamedTemporaryFile(mode="r", suffix=".rss") as rss:
        start = time.perf_counter()
        child = subprocess.Popen(["/usr/bin/time", "-f", "%M", "-o", rss.name] + command, stdout=subprocess.DEVNULL)
        _, status, usage = os.wait4(child.pid, 0)
        wall = time.perf_counter() - start
        child.returncode = os.waitstatus_to_exitcode(status)
        if child.returncode != 0:
            sys.exit(f"{command[0]} failed with {child.returncode}")
        peak = rss.read().strip().splitlines()[-1]
        return wall, usage.ru_utime + usage.ru_stime, int(peak) / 1024.0


def usage_of(command):
    """Runs a command under GNU time; returns (wall s, user s, system s,
    minor faults, peak RSS MiB), all from time's report of the command alone."""
    with tempfile.NamedTemporaryFile(mode="r", suffix=".usage") as report:
        subprocess.run(["/usr/bin/time", "-f", "%e %U %S %R %M", "-o", report.name] + command,
                       stdout=subprocess.DEVNULL, check=True)
        wall, user, system, faults, peak = report.read().strip().splitlines()[-1].split()
        return float(wall), float(user), float(system), int(faults), int(peak) / 1024.0


class BackgroundLoad:
    """A `-j 2` conversion of the same files into a scratch folder, started
    again and again until stopped: a busy host's other work."""

    def __init__(self, tool, files):
        self.scratch = tempfile.mkdtemp(prefix="lumenpull-load-")
        self.command = [tool, "-j", "2", "-o", self.scratch] + files
        self.stopping = threading.Event()
        self.current = None
        self.lock = threading.Lock()
        self.thread = threading.Thread(target=self.loop)

    def loop(self):
        while not self.stopping.is_set():
            with self.lock:
                if self.stopping.is_set():
                    return
                self.current = subprocess.Popen(self.command, stdout=subprocess.DEVNULL)
            self.current.wait()

    def __enter__(self):
        self.thread.start()
        return self

    def __exit__(self, *exc):
        with self.lock:
            self.stopping.set()
            if self.current is not None:
                self.current.terminate()
        self.thread.join()
        shutil.rmtree(self.scratch, ignore_errors=True)


def compare_jobs(args, tool, entries):
    """Times -j 1 against -j 2, converting and listing, interleaved."""
    files = [e.path for e in entries]
    samples = {(mode, jobs): [] for mode in ("convert", "list") for jobs in (1, 2)}
    load = BackgroundLoad(tool, files) if args.loaded else contextlib.nullcontext()
    with load:
        for _ in range(args.runs):
            for mode in ("convert", "list"):
                for jobs in (1, 2):
                    remove_outputs(entries)
                    extra = ["-l"] if mode == "list" else []
                    samples[(mode, jobs)].append(usage_of([tool, "-j", str(jobs)] + extra + files))
    remove_outputs(entries)
    print(f"{len(files)} files, {sum(os.path.getsize(f) for f in files) / 1e6:.1f} MB; "
          f"{'a background -j 2 conversion beside every run' if args.loaded else 'no background load'}; "
          f"{args.runs} interleaved runs, medians (peak: the largest)")
    print()
    print("| run | jobs | wall s | user s | system s | minor faults | peak RSS MiB |")
    print("|---|---|---|---|---|---|---|")
    for (mode, jobs), runs in samples.items():
        columns = list(zip(*runs))
        wall, user, system, faults = (statistics.median(c) for c in columns[:4])
        print(f"| {mode} | {jobs} | {wall:.2f} | {user:.2f} | {system:.2f} | {faults:,.0f} | {max(columns[4]):.0f} |")
    print()
    for mode in ("convert", "list"):
        one = [r[0] for r in samples[(mode, 1)]]
        two = [r[0] for r in samples[(mode, 2)]]
        cpu_one = statistics.median(r[1] + r[2] for r in samples[(mode, 1)])
        cpu_two = statistics.median(r[1] + r[2] for r in samples[(mode, 2)])
        peak_one = max(r[4] for r in samples[(mode, 1)])
        peak_two = max(r[4] for r in samples[(mode, 2)])
        bound = 2 * peak_one + 16
        print(f"{mode}: speed-up {statistics.median(a / b for a, b in zip(one, two)):.2f} (wall, median of the "
              f"run pairs); CPU -j 2 / -j 1 {cpu_two / cpu_one:.2f}; peak -j 2 {peak_two:.0f} MiB against the "
              f"bound {bound:.0f} MiB ({'within' if peak_two <= bound else 'OVER'})")


def digest_outputs(entries):
    digests = {}
    for entry in entries:
        for path in entry.output_files():
            with open(path, "rb") as f:
                digests[os.path.relpath(path, os.path.dirname(entry.path))] = hashlib.sha256(f.read()).hexdigest()
    return digests


def output_bytes(entries):
    return sum(os.path.getsize(p) for e in entries for p in e.output_files())


def compare_types(args, tool, groups, by_group, load_before):
    """Times every group with the default types and with -t TYPES,
    interleaved, and compares the sizes of what each writes."""
    samples = {g: {"default": [], "types": [], "ratio": [], "default_bytes": 0, "types_bytes": 0,
                   "default_rss": 0.0, "types_rss": 0.0} for g in groups}
    for _ in range(args.runs):
        for group in groups:
            members = by_group[group]
            s = samples[group]
            for key, extra in (("default", []), ("types", ["-t", args.types])):
                remove_outputs(members)
                wall, _, rss = timed([tool] + extra + [e.path for e in members])
                s[key].append(wall)
                s[key + "_rss"] = max(s[key + "_rss"], rss)
                s[key + "_bytes"] = output_bytes(members)
            s["ratio"].append(s["types"][-1] / s["default"][-1])
    remove_outputs([e for g in groups for e in by_group[g]])
    mb = 1e6
    print(f"load average before: {load_before[0]:.2f} {load_before[1]:.2f} {load_before[2]:.2f}; "
          f"{args.runs} interleaved runs, medians")
    print()
    print(f"| group | default s | -t {args.types} s | time ratio | default MB | -t {args.types} MB | size ratio "
          f"| default peak RSS MiB | -t {args.types} peak RSS MiB |")
    print("|---|---|---|---|---|---|---|---|---|")
    totals = {"default": [0.0] * args.runs, "types": [0.0] * args.runs}
    total_default_bytes = total_types_bytes = 0
    for group in groups:
        s = samples[group]
        for i in range(args.runs):
            totals["default"][i] += s["default"][i]
            totals["types"][i] += s["types"][i]
        total_default_bytes += s["default_bytes"]
        total_types_bytes += s["types_bytes"]
        print(f"| {group} | {statistics.median(s['default']):.3f} | {statistics.median(s['types']):.3f} "
              f"| {statistics.median(s['ratio']):.2f} | {s['default_bytes'] / mb:.1f} | {s['types_bytes'] / mb:.1f} "
              f"| {s['types_bytes'] / s['default_bytes']:.2f} | {s['default_rss']:.0f} | {s['types_rss']:.0f} |")
    ratio = statistics.median([t / d for t, d in zip(totals["types"], totals["default"])])
    print(f"| all | {statistics.median(totals['default']):.3f} | {statistics.median(totals['types']):.3f} "
          f"| {ratio:.2f} | {total_default_bytes / mb:.1f} | {total_types_bytes / mb:.1f} "
          f"| {total_types_bytes / total_default_bytes:.2f} | {max(s['default_rss'] for s in samples.values()):.0f} "
          f"| {max(s['types_rss'] for s in samples.values()):.0f} |")


def main():
    args = parse_args()
    tool = os.path.abspath(args.tool or os.path.join(args.build, "lumenpull"))
    types = ["-t", args.floor_types] if args.floor_types else []
    floor = os.path.abspath(os.path.join(args.build, "bench", "floor_convert"))
    maker = os.path.abspath(os.path.join(args.build, "bench", "make_bench_corpus"))
    manifest = os.path.join(args.corpus, "manifest.tsv")
    if not os.path.exists(manifest):
        print(f"generating the corpus in {args.corpus} ...", flush=True)
        subprocess.run([maker] + (["--large"] if args.large else []) + [args.corpus], check=True,
                       stdout=subprocess.DEVNULL)
    with open(manifest) as f:
        entries = [Entry(args.corpus, line) for line in f if line.strip()]
    if args.groups:
        chosen = args.groups.split(",")
        entries = [e for e in entries if e.group in chosen]
        if not entries:
            sys.exit(f"no group among {chosen} in {manifest}")
    groups = []
    for entry in entries:
        if entry.group not in groups:
            groups.append(entry.group)
    by_group = {g: [e for e in entries if e.group == g] for g in groups}

    load_before = os.getloadavg()
    if args.jobs:
        print(f"load average before: {load_before[0]:.2f} {load_before[1]:.2f} {load_before[2]:.2f} "
              f"(2 cores, shared)")
        compare_jobs(args, tool, entries)
        load_after = os.getloadavg()
        print(f"load average after: {load_after[0]:.2f} {load_after[1]:.2f} {load_after[2]:.2f}")
        return
    if args.types:
        compare_types(args, tool, groups, by_group, load_before)
        return

    # First conversion: learn every file's outputs (the floor writes as many
    # bytes into as many files), and check the report lines.
    remove_outputs(entries)
    for group in groups:
        result = subprocess.run([tool] + types + [e.path for e in by_group[group]], check=True, capture_output=True, text=True)
        for line in result.stdout.splitlines():
            if "texture(s) converted into" not in line:
                sys.exit(f"conversion failed: {line}")
    for entry in entries:
        entry.outputs = [(p, os.path.getsize(p)) for p in entry.output_files()]

    if args.compare_with:
        mine = digest_outputs(entries)
        remove_outputs(entries)
        known = [e.outputs for e in entries]
        clear_known_outputs(entries)
        for group in groups:
            subprocess.run([args.compare_with] + types + [e.path for e in by_group[group]], check=True,
                           stdout=subprocess.DEVNULL)
        theirs = digest_outputs(entries)
        remove_outputs(entries)
        for entry, outputs in zip(entries, known):
            entry.outputs = outputs
        differing = sorted(k for k in set(mine) | set(theirs) if mine.get(k) != theirs.get(k))
        print(f"output files compared with {args.compare_with}: {len(mine)} files, "
              f"{'all identical' if not differing else str(len(differing)) + ' differ: ' + ', '.join(differing[:5])}")
        if differing:
            sys.exit(1)

    jobs = {}
    for group in groups:
        fd, path = tempfile.mkstemp(prefix=f"floor-{group}-", suffix=".jobs")
        with os.fdopen(fd, "w") as f:
            for e in by_group[group]:
                outputs = "\t".join(f"{p}:{s}" for p, s in e.outputs)
                f.write(f"{e.path}\t{e.raw_size}\t{e.ranges}\t{outputs}\n")
        jobs[group] = path

    # Interleaved runs: each group by the converter, then by the floor.
    samples = {g: {"tool": [], "floor": [], "tool_cpu": [], "floor_cpu": [], "ratio": [], "cpu_ratio": [],
                   "rss": 0.0, "floor_rss": 0.0, "list": [], "list_ratio": [], "list_cpu_ratio": []}
               for g in groups}
    for _ in range(args.runs):
        for group in groups:
            members = by_group[group]
            remove_outputs(members)
            wall, cpu, rss = timed([tool] + types + [e.path for e in members])
            remove_outputs(members)
            floor_wall, floor_cpu, floor_rss = timed([floor, jobs[group]])
            list_wall, list_cpu, _ = timed([tool, "-l"] + types + [e.path for e in members])
            s = samples[group]
            s["list"].append(list_wall)
            s["list_ratio"].append(list_wall / wall)
            s["list_cpu_ratio"].append(list_cpu / cpu)
            s["tool"].append(wall)
            s["floor"].append(floor_wall)
            s["tool_cpu"].append(cpu)
            s["floor_cpu"].append(floor_cpu)
            s["ratio"].append(wall / floor_wall)
            s["cpu_ratio"].append(cpu / floor_cpu)
            s["rss"] = max(s["rss"], rss)
            s["floor_rss"] = max(s["floor_rss"], floor_rss)

    mb = 1e6
    print()
    print(f"load average before: {load_before[0]:.2f} {load_before[1]:.2f} {load_before[2]:.2f} "
          f"(2 cores, shared); {args.runs} interleaved runs, medians")
    print()
    print("| group | files | input MB | output MB | tool s | floor s | tool/floor | tool CPU s | floor CPU s "
          "| CPU tool/floor | in MB/s | out MB/s | textures/s | tool peak RSS MiB | floor peak RSS MiB |")
    print("|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|")
    total_tool = [0.0] * args.runs
    total_floor = [0.0] * args.runs
    total_tool_cpu = [0.0] * args.runs
    total_floor_cpu = [0.0] * args.runs
    total_in = total_out = 0
    for group in groups:
        members = by_group[group]
        s = samples[group]
        size_in = sum(os.path.getsize(e.path) for e in members)
        size_out = sum(size for e in members for _, size in e.outputs)
        total_in += size_in
        total_out += size_out
        for i in range(args.runs):
            total_tool[i] += s["tool"][i]
            total_floor[i] += s["floor"][i]
            total_tool_cpu[i] += s["tool_cpu"][i]
            total_floor_cpu[i] += s["floor_cpu"][i]
        tool_s = statistics.median(s["tool"])
        floor_s = statistics.median(s["floor"])
        print(f"| {group} | {len(members)} | {size_in / mb:.1f} | {size_out / mb:.1f} | {tool_s:.3f} | {floor_s:.3f} "
              f"| {statistics.median(s['ratio']):.2f} | {statistics.median(s['tool_cpu']):.3f} "
              f"| {statistics.median(s['floor_cpu']):.3f} | {statistics.median(s['cpu_ratio']):.2f} "
              f"| {size_in / mb / tool_s:.0f} | {size_out / mb / tool_s:.0f} "
              f"| {len(members) / tool_s:.1f} | {s['rss']:.0f} | {s['floor_rss']:.0f} |")
    tool_s = statistics.median(total_tool)
    floor_s = statistics.median(total_floor)
    ratio = statistics.median([t / f for t, f in zip(total_tool, total_floor)])
    cpu_ratio = statistics.median([t / f for t, f in zip(total_tool_cpu, total_floor_cpu)])
    print(f"| all | {len(entries)} | {total_in / mb:.1f} | {total_out / mb:.1f} | {tool_s:.3f} | {floor_s:.3f} "
          f"| {ratio:.2f} | {statistics.median(total_tool_cpu):.3f} | {statistics.median(total_floor_cpu):.3f} "
          f"| {cpu_ratio:.2f} | {total_in / mb / tool_s:.0f} | {total_out / mb / tool_s:.0f} | {len(entries) / tool_s:.1f} "
          f"| {max(s['rss'] for s in samples.values()):.0f} | {max(s['floor_rss'] for s in samples.values()):.0f} |")

    # Listing (-l) against converting the same group.
    print()
    print("| group | list s | convert s | list/convert | CPU list/convert |")
    print("|---|---|---|---|---|")
    total_list = [0.0] * args.runs
    for group in groups:
        s = samples[group]
        for i in range(args.runs):
            total_list[i] += s["list"][i]
        print(f"| {group} | {statistics.median(s['list']):.3f} | {statistics.median(s['tool']):.3f} "
              f"| {statistics.median(s['list_ratio']):.2f} | {statistics.median(s['list_cpu_ratio']):.2f} |")
    print(f"| all | {statistics.median(total_list):.3f} | {statistics.median(total_tool):.3f} "
          f"| {statistics.median([l / t for l, t in zip(total_list, total_tool)]):.2f} | |")

    # Scaling: one process per file, as README recommends, on 1 and 2 cores;
    # without the tree, where it would time process start-up.
    scaled = [e for e in entries if e.group != "tree"]
    files = "\0".join(e.path for e in scaled) + "\0"
    scaling = {1: [], 2: []}
    for _ in range(args.scaling_runs):
        for parallel in (1, 2):
            remove_outputs(scaled)
            start = time.perf_counter()
            subprocess.run(["xargs", "-0", "-n", "1", "-P", str(parallel), tool] + types, input=files.encode(), check=True,
                           stdout=subprocess.DEVNULL)
            scaling[parallel].append(time.perf_counter() - start)
    if args.scaling_runs > 0:
        one = statistics.median(scaling[1])
        two = statistics.median(scaling[2])
        print()
        print(f"one process per file (xargs -n 1), median of {args.scaling_runs}: "
              f"{len(scaled)} files, -P 1 {one:.2f} s ({len(scaled) / one:.1f} textures/s), "
              f"-P 2 {two:.2f} s ({len(scaled) / two:.1f} textures/s), speed-up {one / two:.2f}")
    load_after = os.getloadavg()
    print(f"load average after: {load_after[0]:.2f} {load_after[1]:.2f} {load_after[2]:.2f}")

    remove_outputs(entries)
    for path in jobs.values():
        os.remove(path)


if __name__ == "__main__":
    main()
