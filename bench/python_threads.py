#!/usr/bin/python3
"""Python module: decoding the bench corpus with one thread against four.

Every file of the chosen groups is opened with lumenpull.open and every
texture decoded with images(), by a pool of worker threads taking files
from a shared list. The module releases the GIL while it reads, unpacks
and decodes, so the threads run in parallel up to the cores there are.
Prints, per group and thread count, the median wall time and process CPU
time of --runs interleaved runs, and the speed-up of each count over one
thread; with --processes N also the wall time of the same work on a pool
of N processes, which no lock in the interpreter holds back: what the
machine gives at that moment (on a shared machine, the fair comparison).

usage: bench/python_threads.py [--corpus /tmp/lumenpull-corpus] [--build build]
                               [--groups bc1,tree] [--threads 1,4] [--processes 4] [--runs 3]

The corpus is make_bench_corpus's (bench/run_end_to_end.py writes it).
"""

import argparse
import multiprocessing
import os
import statistics
import sys
import threading
import time

GROUPS = "bc1,bc3,bc5,rgba32,rgb24,grey,planes,cube,hdr"


def corpus_files(corpus, group):
    files = []
    for folder, _, names in os.walk(os.path.join(corpus, group)):
        files += [os.path.join(folder, name) for name in names if name.endswith((".tex", ".rsc"))]
    return sorted(files)


def decode_all(lumenpull, files, threads):
    """Decodes every image of `files` on `threads` threads; returns the images."""
    next_file = iter(files)
    lock = threading.Lock()
    counts = [0] * threads

    def work(slot):
        while True:
            with lock:
                path = next(next_file, None)
            if path is None:
                return
            with lumenpull.open(path) as resource:
                for texture in resource.textures:
                    if not texture.rejected and not texture.without_pixels:
                        counts[slot] += len(texture.images())

    workers = [threading.Thread(target=work, args=(slot,)) for slot in range(threads)]
    for worker in workers:
        worker.start()
    for worker in workers:
        worker.join()
    return sum(counts)


def decode_file(path):
    import lumenpull

    count = 0
    with lumenpull.open(path) as resource:
        for texture in resource.textures:
            if not texture.rejected and not texture.without_pixels:
                count += len(texture.images())
    return count


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--corpus", default="/tmp/lumenpull-corpus")
    parser.add_argument("--build", default=os.path.join(here, "..", "build"))
    parser.add_argument("--groups", default=GROUPS + ",tree")
    parser.add_argument("--threads", default="1,4")
    parser.add_argument("--processes", type=int, default=0, help="also time a pool of this many processes")
    parser.add_argument("--runs", type=int, default=3)
    args = parser.parse_args()
    sys.path.insert(0, os.path.join(args.build, "python"))
    import lumenpull

    counts = [int(n) for n in args.threads.split(",")]
    print(f"lumenpull {lumenpull.__version__} from {os.path.dirname(lumenpull.__file__)}, {os.cpu_count()} cores")
    pool = multiprocessing.Pool(args.processes) if args.processes else None
    extra = f" {args.processes} proc wall s | {counts[-1]} thr / {args.processes} proc |" if pool else ""
    print("| group | files | images | " + " | ".join(f"{n} thr wall s | {n} thr CPU s" for n in counts) + " | "
          + " | ".join(f"{n} / {counts[0]}" for n in counts[1:]) + " |" + extra)
    print("|---" * (3 + 2 * len(counts) + len(counts) - 1 + (2 if pool else 0)) + "|")
    for group in args.groups.split(","):
        files = corpus_files(args.corpus, group)
        if not files:
            print(f"{group}: no files below {args.corpus}", file=sys.stderr)
            continue
        walls = {n: [] for n in counts}
        cpus = {n: [] for n in counts}
        pooled = []
        images = 0
        if pool:
            pool.map(decode_file, files[: args.processes], chunksize=1)  # the workers' imports
        for _ in range(args.runs):
            for n in counts:
                cpu, wall = time.process_time(), time.perf_counter()
                images = decode_all(lumenpull, files, n)
                walls[n].append(time.perf_counter() - wall)
                cpus[n].append(time.process_time() - cpu)
            if pool:
                wall = time.perf_counter()
                assert sum(pool.map(decode_file, files, chunksize=1)) == images
                pooled.append(time.perf_counter() - wall)
        wall = {n: statistics.median(walls[n]) for n in counts}
        cpu = {n: statistics.median(cpus[n]) for n in counts}
        cells = [f"{wall[n]:.3f} | {cpu[n]:.3f}" for n in counts]
        ratios = [f"{wall[counts[0]] / wall[n]:.2f}" for n in counts[1:]]
        line = f"| {group} | {len(files)} | {images} | " + " | ".join(cells) + " | " + " | ".join(ratios) + " |"
        if pool:
            line += f" {statistics.median(pooled):.3f} | {statistics.median(pooled) / wall[counts[-1]]:.2f} |"
        print(line, flush=True)


if __name__ == "__main__":
    main()
