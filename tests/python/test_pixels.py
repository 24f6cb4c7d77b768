"""Arrays against the images the tool writes, read back by Pillow (8-bit
PNG) and OpenCV (OpenEXR): every texture kind, faces and frames in order."""

import cv2
import numpy as np
from PIL import Image

import lumenpull
from conftest import run_tool, tool_json


def read_back(path):
    if path.endswith(".exr"):
        bgr = cv2.imread(path, cv2.IMREAD_UNCHANGED)
        assert bgr is not None and bgr.dtype == np.float32, path
        return np.ascontiguousarray(bgr[:, :, ::-1])
    with Image.open(path) as image:
        assert image.mode in ("L", "RGB", "RGBA"), (path, image.mode)
        return np.asarray(image)


def test_every_image_equals_the_file_the_tool_writes(sample_files, tmp_path):
    kinds = set()
    for n, path in enumerate(sample_files):
        out = tmp_path / str(n)
        keys = ("-t", "png exr", "-o", str(out), str(path))
        (listing,) = tool_json("-l", *keys)
        run_tool(*keys)
        try:
            resource = lumenpull.open(path)
        except lumenpull.Error as error:
            assert listing["error"] == str(error)
            continue
        listed = listing["list"]
        assert len(resource.textures) == len(listed), path
        for texture, row in zip(resource.textures, listed):
            arrays = texture.images() if row["names"] else []
            assert len(arrays) == len(row["names"]), (path, texture)
            for i, (array, name) in enumerate(zip(arrays, row["names"])):
                expected = read_back(name)
                assert array.dtype == expected.dtype and array.shape == expected.shape, (name, array.shape)
                assert np.array_equal(array, expected), name
                assert array.flags.c_contiguous
                assert np.array_equal(texture.image(i), array), (name, i)
                kinds.add((texture.kind, array.dtype.name, array.ndim, array.shape[2] if array.ndim == 3 else 1))
    # Grey, RGB, RGBA and float pictures; single, cube and frames.
    assert {k[0] for k in kinds} == {"single", "cube", "frames"}
    assert {k[1:] for k in kinds} >= {("uint8", 2, 1), ("uint8", 3, 3), ("uint8", 3, 4), ("float32", 3, 3)}


def test_orientation_and_channel_order(sample_files):
    # The bundled gradient grows red to the right and green downwards.
    gradient = [p for p in sample_files if p.name == "gradient_rgb.tex"]
    if not gradient:
        return
    pixels = lumenpull.open(gradient[0]).textures[0].image().astype(int)
    assert pixels[0, -1, 0] > pixels[0, 0, 0] and pixels[-1, 0, 1] > pixels[0, 0, 1]
