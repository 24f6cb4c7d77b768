"""TGA files read by independent readers, and the file's own packets walked.

Shared by the reader interop test (check_image_readers.py) and the script
that checks a whole corpus (bench/check_tga_readers.py).

- Pillow reads every channel; it decodes a packed file a pixel row at a
  time and refuses a packet that runs on into the next row.
- OpenCV reads TGA files through its GDAL decoder only, which hands back
  the colour channels (B, G, R) or grey: alpha is compared by the other two.
- ImageMagick's `stream` reads every channel.

`tga_pixels` walks the file itself: it decodes packed and plain files alike
(packets across rows too, so older files can be compared) and lists the
packets that hold pixels of two rows.
"""

import os
import subprocess
import tempfile

import cv2
import numpy as np
from PIL import Image


class TgaFile:
    def __init__(self, width, height, channels, image_type, pixels, across_rows):
        self.width = width
        self.height = height
        self.channels = channels
        self.image_type = image_type
        self.pixels = pixels            # height x width x channels: R, G, B[, A] or grey
        self.across_rows = across_rows  # first pixel of each packet that holds pixels of two rows

    @property
    def packed(self):
        return self.image_type in (10, 11)


def tga_pixels(path):
    """Decodes a TGA file as the writer makes them (types 2, 3, 10, 11, no
    colour map, top-left origin); raises ValueError on anything else or on
    data that ends early."""
    with open(path, "rb") as f:
        data = f.read()
    if len(data) < 18:
        raise ValueError("shorter than a TGA header")
    id_length, colour_map, image_type = data[0], data[1], data[2]
    width = data[12] | data[13] << 8
    height = data[14] | data[15] << 8
    depth, descriptor = data[16], data[17]
    if colour_map != 0 or image_type not in (2, 3, 10, 11) or depth not in (8, 24, 32):
        raise ValueError(f"image type {image_type}, colour map {colour_map}, depth {depth}")
    if descriptor & 0x30 != 0x20:
        raise ValueError(f"descriptor {descriptor:#x} is not top-left")
    bpp = depth // 8
    body = np.frombuffer(data, dtype=np.uint8, offset=18 + id_length)
    count = width * height
    across = []
    if image_type in (2, 3):
        if body.size < count * bpp:
            raise ValueError(f"{body.size} pixel bytes for {count} pixels")
        flat = body[:count * bpp].reshape(count, bpp)
    else:
        # The walk only finds where each packet begins; counts, kinds and
        # the pixels of all packets are then taken at once.
        headers = []
        pixel, pos, raw = 0, 0, body.tobytes()
        while pixel < count and pos < len(raw):
            header = raw[pos]
            headers.append(pos)
            n = (header & 0x7F) + 1
            pos += 1 + (bpp if header & 0x80 else n * bpp)
            pixel += n
        if pixel < count:
            raise ValueError(f"packets end after {pixel} of {count} pixels")
        if pos > len(raw) or pixel > count:
            raise ValueError("the last packet runs past the data or the image")
        where = np.asarray(headers, dtype=np.int64)
        header_bytes = body[where].astype(np.int64)
        counts = (header_bytes & 0x7F) + 1
        steps = np.where(header_bytes & 0x80, 0, bpp)
        first = np.cumsum(counts) - counts
        if width:
            across = [int(p) for p in first[first // width != (first + counts - 1) // width]]
        index = np.arange(count, dtype=np.int64) - np.repeat(first, counts)
        offsets = np.repeat(where + 1, counts) + np.repeat(steps, counts) * index
        flat = body[offsets[:, None] + np.arange(bpp)]
    # Stored as B, G, R[, A]: readers hand back R, G, B[, A].
    pixels = flat[:, [2, 1, 0, 3][:bpp]] if bpp > 1 else flat
    return TgaFile(width, height, bpp, image_type, pixels.reshape(height, width, bpp), across)


def read_pillow(path, width, height, channels):
    with Image.open(path) as image:
        image.load()
        mode = {1: "L", 3: "RGB", 4: "RGBA"}[channels]
        if image.mode != mode or image.size != (width, height):
            raise ValueError(f"Pillow read mode {image.mode} size {image.size}")
        return np.asarray(image).reshape(height, width, channels)


def read_magick(path, width, height, channels, stream):
    channel_map = {1: "i", 3: "rgb", 4: "rgba"}[channels]
    with tempfile.TemporaryDirectory() as scratch:
        raw = os.path.join(scratch, "pixels.raw")
        subprocess.run([stream, "-map", channel_map, "-storage-type", "char", path, raw],
                       check=True, capture_output=True)
        data = np.fromfile(raw, dtype=np.uint8)
    if data.size != width * height * channels:
        raise ValueError(f"ImageMagick read {data.size} bytes")
    return data.reshape(height, width, channels)


def read_opencv_colour(path, width, height, channels):
    """The colour channels (R, G, B) or grey, as OpenCV's GDAL decoder gives them."""
    image = cv2.imread(path, cv2.IMREAD_LOAD_GDAL | cv2.IMREAD_ANYCOLOR | cv2.IMREAD_ANYDEPTH)
    if image is None:
        raise ValueError("OpenCV could not read the file")
    expected_shape = (height, width) if channels == 1 else (height, width, 3)
    if image.shape != expected_shape or image.dtype != np.uint8:
        raise ValueError(f"OpenCV read shape {image.shape} type {image.dtype}")
    if channels == 1:
        return image.reshape(height, width, 1)
    return image[:, :, ::-1]


def first_difference(actual, expected):
    diff = np.argwhere(actual != expected)
    if diff.size == 0:
        return "none"
    where = tuple(int(v) for v in diff[0])
    return f"at {where}: read {actual[where]}, expected {expected[where]}"


def check_tga(path, expected, stream, label=None):
    """Problems with one TGA file: a packet holding pixels of two rows, or a
    reader that fails or decodes other pixels than `expected` (height x
    width x channels, R, G, B[, A] or grey). An empty list when all is well."""
    label = label or path
    problems = []
    try:
        own = tga_pixels(path)
    except (ValueError, OSError) as error:
        return [f"{label}: {error}"]
    height, width, channels = expected.shape
    if (own.height, own.width, own.channels) != (height, width, channels):
        return [f"{label}: {own.width} x {own.height} x {own.channels}, expected {width} x {height} x {channels}"]
    if own.across_rows:
        problems.append(f"{label}: {len(own.across_rows)} packets hold pixels of two rows, "
                        f"the first from pixel {own.across_rows[0]}")
    if not np.array_equal(own.pixels, expected):
        problems.append(f"{label}: packets decode to other pixels, {first_difference(own.pixels, expected)}")
    if width * height == 0:
        return problems  # a header without pixels, which the readers refuse
    readers = (("Pillow", lambda: read_pillow(path, width, height, channels), expected),
               ("OpenCV", lambda: read_opencv_colour(path, width, height, channels), expected[:, :, :3]),
               ("ImageMagick", lambda: read_magick(path, width, height, channels, stream), expected))
    for name, read, wanted in readers:
        try:
            actual = read()
        except (ValueError, OSError, subprocess.CalledProcessError) as error:
            problems.append(f"{label} read by {name}: {error}")
            continue
        if not np.array_equal(actual, wanted):
            problems.append(f"{label} read by {name}: first difference {first_difference(actual, wanted)}")
    return problems
