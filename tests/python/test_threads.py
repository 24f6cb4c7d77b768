"""The GIL is let go while a texture is unpacked and decoded: another
thread runs Python code meanwhile."""

import json
import os
import threading
import time

import pytest

import lumenpull


def large_texture():
    """A 4096 x 4096 texture of zlib-packed zeros from the hostile files (a
    fair texture: unpacking and decoding it takes a while)."""
    folder = os.environ.get("LUMENPULL_HOSTILE_DIR", "")
    manifest = os.path.join(folder, "manifest.json")
    if not os.path.isfile(manifest):
        pytest.skip("no hostile files (LUMENPULL_HOSTILE_DIR)")
    with open(manifest) as file:
        case = next(c for c in json.load(file) if c["name"] == "zlib zeros to 4096 x 4096 (64 MiB)")
    return lumenpull.open(os.path.join(folder, case["file"])).textures[0]


def test_other_threads_run_while_a_texture_decodes():
    texture = large_texture()
    start = time.perf_counter()
    texture.images()
    alone = time.perf_counter() - start
    busy = True

    def decode():
        nonlocal busy
        texture.images()
        busy = False

    ticks = [time.perf_counter()]
    worker = threading.Thread(target=decode)
    worker.start()
    while busy:
        time.sleep(0.0005)
        ticks.append(time.perf_counter())
    worker.join()
    # With the GIL held through a decode, this thread would stand still for
    # the whole decode.
    longest = max(b - a for a, b in zip(ticks, ticks[1:]))
    assert longest < alone / 2, f"stood still {longest:.3f} s; a decode alone takes {alone:.3f} s"
