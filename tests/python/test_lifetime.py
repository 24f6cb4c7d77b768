"""Reference counting and memory: arrays own their pixels, textures keep
their resource's data, and a thousand opens leave the process no larger."""

import gc

import numpy as np

import lumenpull


def rss_bytes():
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1]) * 4096


def test_arrays_and_textures_outlive_their_resource(sample_by_format):
    resource = lumenpull.open(sample_by_format["BGRA8"])
    texture = resource.textures[0]
    array = texture.image()
    expected = array.copy()
    with resource:
        pass
    assert resource.closed and "closed" in repr(resource)
    # The texture still decodes after its resource object is closed and gone.
    del resource
    gc.collect()
    assert np.array_equal(texture.image(), expected)
    del texture
    gc.collect()
    # Memory freed since then is reused by new images of the same size.
    others = [lumenpull.open(sample_by_format["BGRA8"]).textures[0].image() for _ in range(20)]
    assert np.array_equal(array, expected) and array.base is not None
    others[0][:] = 0
    assert np.array_equal(array, expected)


def test_a_thousand_opens_do_not_grow_the_process(sample_by_format):
    path = sample_by_format["BC3"]
    contents = bytearray(path.read_bytes())

    def work(times):
        for i in range(times):
            resource = lumenpull.open(path if i % 2 else contents)
            texture = resource.textures[0]
            texture.images()
            texture.packing
            resource.close()

    work(200)
    gc.collect()
    before = rss_bytes()
    work(1000)
    gc.collect()
    grown = rss_bytes() - before
    # A 128 x 128 RGBA image kept by mistake would add 64 MiB.
    assert grown < 4 << 20, f"grew by {grown} bytes"
