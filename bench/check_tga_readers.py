#!/usr/bin/python3
"""Reads every TGA file of the benchmark corpus with Pillow, OpenCV and
ImageMagick: each must give the pixels of the same texture converted with
-u, and in packed files no packet may hold pixels of two rows.

    bench/check_tga_readers.py --build build-bench [--corpus /tmp/lumenpull-corpus]
                               [--groups bc1,tree] [--before OTHER_LUMENPULL] [--workers 2]

The corpus is made by make_bench_corpus when its manifest is missing (as
run_end_to_end.py makes it). Images go below a temporary folder (-o), never
beside the corpus files: packed, plain (-u) and, with --before, packed by
another build, whose files must decode to the same pixels (its packets may
cross rows; they are decoded here, not by the readers) and whose total size
is printed beside this build's. OpenCV reads TGA files through GDAL, which
drops alpha: it is compared on the colour channels. Exit code 1 when any
file fails.
"""

import argparse
import concurrent.futures
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "image", "interop"))
try:
    import numpy as np
    from tga_readers import check_tga, first_difference, tga_pixels
except ImportError as error:
    sys.exit(f"image reader missing: {error} (needs python3-pil, python3-numpy and python3-opencv)")


def parse_args():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", default="build-bench", help="build folder with lumenpull and bench/make_bench_corpus")
    parser.add_argument("--corpus", default=os.path.join(tempfile.gettempdir(), "lumenpull-corpus"))
    parser.add_argument("--tool", help="the converter to check (default: lumenpull in the build folder)")
    parser.add_argument("--before", help="another lumenpull whose packed files must decode to the same pixels")
    parser.add_argument("--groups", help="only these groups of the manifest, comma-separated (e.g. bc1,tree)")
    parser.add_argument("--stream", default=shutil.which("stream") or "stream", help="ImageMagick's stream program")
    parser.add_argument("--workers", type=int, default=1, help="files checked at once")
    parser.add_argument("--keep", help="write the images below this folder and keep them")
    return parser.parse_args()


def convert(tool, keys, folders, out):
    """Converts the group folders below `out`: out/<group>/... (-o mirrors
    each input from its parent on)."""
    result = subprocess.run([tool, "-r", *keys, "-o", out, *folders], check=True, capture_output=True, text=True)
    for line in result.stdout.splitlines():
        if "texture(s) converted into" not in line:
            sys.exit(f"conversion failed: {line}")


def tga_files(folder):
    return sorted(os.path.relpath(os.path.join(d, f), folder)
                  for d, _, files in os.walk(folder) for f in files if f.endswith(".tga"))


def check_one(image, folders, stream):
    """(problems, packed, packed bytes, packed bytes of the other build) for one image."""
    path = os.path.join(folders["packed"], image)
    try:
        plain = tga_pixels(os.path.join(folders["plain"], image))
        packed = tga_pixels(path)
    except (ValueError, OSError) as error:
        return [f"{image}: {error}"], False, 0, 0
    problems = check_tga(path, plain.pixels, stream, image)
    before_bytes = 0
    if "before" in folders:
        before_path = os.path.join(folders["before"], image)
        try:
            before = tga_pixels(before_path)
            before_bytes = os.path.getsize(before_path)
            if not np.array_equal(before.pixels, plain.pixels):
                problems.append(f"{image}: the other build's file decodes to other pixels, "
                                f"{first_difference(before.pixels, plain.pixels)}")
        except (ValueError, OSError) as error:
            problems.append(f"{image} of the other build: {error}")
    return problems, packed.packed, os.path.getsize(path), before_bytes


def main():
    args = parse_args()
    tool = os.path.abspath(args.tool or os.path.join(args.build, "lumenpull"))
    maker = os.path.abspath(os.path.join(args.build, "bench", "make_bench_corpus"))
    manifest = os.path.join(args.corpus, "manifest.tsv")
    if not os.path.exists(manifest):
        print(f"generating the corpus in {args.corpus} ...", flush=True)
        subprocess.run([maker, args.corpus], check=True, stdout=subprocess.DEVNULL)
    with open(manifest) as f:
        rows = [line.rstrip("\n").split("\t") for line in f if line.strip()]
    chosen = args.groups.split(",") if args.groups else None
    # Each group's files lie in a folder of the group's name.
    inputs = sorted({os.path.join(args.corpus, row[0].split("/")[0]) for row in rows
                     if chosen is None or row[1] in chosen})
    if not inputs:
        sys.exit(f"no group among {chosen} in {manifest}")

    work = args.keep or tempfile.mkdtemp(prefix="tga-readers-")
    try:
        start = time.perf_counter()
        folders = {"packed": os.path.join(work, "packed"), "plain": os.path.join(work, "plain")}
        convert(tool, [], inputs, folders["packed"])
        convert(tool, ["-u"], inputs, folders["plain"])
        if args.before:
            folders["before"] = os.path.join(work, "before")
            convert(os.path.abspath(args.before), [], inputs, folders["before"])
        images = tga_files(folders["packed"])
        print(f"{len(inputs)} groups, {len(images)} TGA files converted in "
              f"{time.perf_counter() - start:.0f} s; reading them ...", flush=True)

        failures = []
        packed = packed_bytes = before_bytes = 0
        with concurrent.futures.ProcessPoolExecutor(max_workers=max(args.workers, 1)) as pool:
            for problems, is_packed, size, before_size in pool.map(
                    check_one, images, [folders] * len(images), [args.stream] * len(images), chunksize=16):
                failures.extend(problems)
                packed += is_packed
                packed_bytes += size
                before_bytes += before_size
        missing = sorted(set(tga_files(folders["plain"])) ^ set(images))
        failures.extend(f"{image}: written by one run only" for image in missing)
    finally:
        if not args.keep:
            shutil.rmtree(work, ignore_errors=True)

    print(f"{len(images)} TGA files ({packed} packed) read by Pillow, OpenCV and ImageMagick "
          f"in {time.perf_counter() - start:.0f} s")
    if args.before:
        print(f"TGA bytes: {packed_bytes} here, {before_bytes} by {args.before} "
              f"({(packed_bytes - before_bytes) / max(before_bytes, 1) * 100:+.3f} %)")
    for message in failures[:50]:
        print("FAIL:", message)
    if len(failures) > 50:
        print(f"... and {len(failures) - 50} more")
    if failures:
        return 1
    print("every TGA file reads as its -u twin, no packet across a row")
    return 0


if __name__ == "__main__":
    sys.exit(main())
