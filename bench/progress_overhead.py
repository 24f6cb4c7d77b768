#!/usr/bin/env python3
"""Times a tree of small files with the progress display off, forced into a
log, and drawn on a pseudo-terminal, interleaved run by run, and prints the
median wall and processor time of each.

Usage: bench/progress_overhead.py [--build build] [--runs 7] [--files 10000]"""

import argparse
import os
import pty
import resource
import shutil
import statistics
import subprocess
import tempfile
import threading
import time


def make_tree(make_samples, root, files):
    samples = os.path.join(root, "samples")
    subprocess.run([make_samples, samples], check=True, stdout=subprocess.DEVNULL)
    # The small samples of every kind but HDR, copied round-robin into 100 folders.
    kinds = []
    for folder, _, names in os.walk(samples):
        kinds += [os.path.join(folder, name) for name in names if "hdr" not in folder]
    kinds.sort()
    for index in range(files):
        folder = os.path.join(root, "tree", f"d{index % 100:02}")
        os.makedirs(folder, exist_ok=True)
        source = kinds[index % len(kinds)]
        shutil.copy(source, os.path.join(folder, f"f{index}{os.path.splitext(source)[1]}"))
    shutil.rmtree(samples)


def timed(arguments, cwd, terminal):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    if terminal:
        master, slave = pty.openpty()
        process = subprocess.Popen(arguments, cwd=cwd, stdout=subprocess.DEVNULL, stderr=slave)
        os.close(slave)
        drained = threading.Thread(target=lambda: drain(master))
        drained.start()
        process.wait()
        drained.join()
        os.close(master)
    else:
        with open(os.devnull, "wb") as log:
            subprocess.run(arguments, cwd=cwd, stdout=subprocess.DEVNULL, stderr=log, check=True)
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return wall, (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)


def drain(fd):
    while True:
        try:
            if not os.read(fd, 65536):
                return
        except OSError:
            return


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default="build")
    parser.add_argument("--runs", type=int, default=7)
    parser.add_argument("--files", type=int, default=10000)
    parser.add_argument("--jobs", default="1")
    options = parser.parse_args()
    tool = os.path.abspath(os.path.join(options.build, "lumenpull"))
    make_samples = os.path.abspath(os.path.join(options.build, "tools", "make_samples"))
    with tempfile.TemporaryDirectory() as work:
        make_tree(make_samples, work, options.files)
        variants = {
            "off (--no-progress)": ([tool, "--no-progress"], False),
            "into a log (--progress)": ([tool, "--progress"], False),
            "on a terminal": ([tool], True),
        }
        results = {name: [] for name in variants}
        for _ in range(options.runs):
            for name, (command, terminal) in variants.items():
                shutil.rmtree(os.path.join(work, "out"), ignore_errors=True)
                results[name].append(timed(command + ["-j", options.jobs, "-r", "-o", "out", "tree"], work, terminal))
        print(f"{options.files} files, -j {options.jobs}, median of {options.runs} runs")
        for name, times in results.items():
            print(f"{name:28} wall {statistics.median(t[0] for t in times):6.3f} s"
                  f"   cpu {statistics.median(t[1] for t in times):6.3f} s")


if __name__ == "__main__":
    main()
