#!/usr/bin/python3
"""Reads files written by the TGA and Radiance writers back with independent
readers and compares every pixel.

- TGA files: Pillow; files whose packed runs continue from one pixel row into
  the next (block formats) with ImageMagick's `stream`, as Pillow refuses
  such packets.
- Radiance files: OpenCV, within the precision of RGBE.
- PNG files: Pillow and OpenCV, both to exactly the pixels of the TGA file
  of the same picture.
- BC1, BC3 and BC5: the same random blocks are decoded by the writer (into
  uncompressed TGA files) and by Pillow's DDS decoder, with two deliberate
  differences:
    * BC3 colour blocks whose first endpoint is not greater than the second
      are decoded with the three-colour rule of BC1 here (Pillow always uses
      four colours in BC3); those blocks are compared with Pillow's BC1
      decoding of the same colour block instead.
    * BC5 is written as blue 255, green = second channel, red = first
      channel; Pillow gives blue 0.

The readers are required: a missing one fails the test, it never skips.
"""

import argparse
import os
import struct
import subprocess
import sys
import tempfile

try:
    import cv2
    import numpy as np
    from PIL import Image
except ImportError as error:
    print(f"image reader missing: {error} (needs python3-pil, python3-numpy and python3-opencv)")
    sys.exit(1)


class Failures:
    def __init__(self):
        self.messages = []

    def check(self, condition, message):
        if not condition:
            self.messages.append(message)
        return condition


def first_difference(actual, expected):
    diff = np.argwhere(actual != expected)
    if diff.size == 0:
        return "none"
    where = tuple(int(v) for v in diff[0])
    return f"at {where}: read {actual[where]}, expected {expected[where]}"


# --- TGA and Radiance fixtures ---------------------------------------------

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


def read_opencv(path, width, height):
    image = cv2.imread(path, cv2.IMREAD_UNCHANGED)
    if image is None:
        raise ValueError("OpenCV could not read the file")
    if image.shape != (height, width, 3) or image.dtype != np.float32:
        raise ValueError(f"OpenCV read shape {image.shape} type {image.dtype}")
    return image[:, :, ::-1]  # BGR to RGB


def read_opencv_png(path, width, height, channels):
    image = cv2.imread(path, cv2.IMREAD_UNCHANGED)
    if image is None:
        raise ValueError("OpenCV could not read the file")
    expected_shape = (height, width) if channels == 1 else (height, width, channels)
    if image.shape != expected_shape or image.dtype != np.uint8:
        raise ValueError(f"OpenCV read shape {image.shape} type {image.dtype}")
    if channels == 1:
        return image.reshape(height, width, 1)
    return image[:, :, [2, 1, 0, 3][:channels]]  # BGR(A) to RGB(A)


def check_tga_type(failures, path, form):
    with open(path, "rb") as f:
        header = f.read(18)
    failures.check(header[2] == int(form), f"{path}: image type {header[2]}, expected {form}")


def check_radiance_form(failures, path, width, form):
    with open(path, "rb") as f:
        data = f.read()
    resolution = data.index(b"-Y ")
    first_row = data.index(b"\n", resolution) + 1
    header = data[first_row:first_row + 4]
    scanline = header[:2] == b"\x02\x02" and header[2] < 128 and (header[2] << 8 | header[3]) == width
    failures.check(scanline == (form == "rle"), f"{path}: rows are not {form}")


def check_fixtures(failures, fixtures, stream):
    with tempfile.TemporaryDirectory() as folder:
        subprocess.run([fixtures, "images", folder], check=True)
        with open(os.path.join(folder, "manifest.txt")) as manifest:
            entries = [line.split() for line in manifest if line.strip()]
        failures.check(len(entries) >= 20, f"only {len(entries)} fixture images")
        for reader, image, expected_name, width, height, channels, form in entries:
            width, height, channels = int(width), int(height), int(channels)
            path = os.path.join(folder, image)
            expected_path = os.path.join(folder, expected_name)
            try:
                if reader == "opencv":
                    expected = np.fromfile(expected_path, dtype=np.float32).reshape(height, width, 3)
                    actual = read_opencv(path, width, height)
                    check_radiance_form(failures, path, width, form)
                    # RGBE keeps 8-bit mantissas of the pixel's power of two 2^e (largest
                    # channel in [2^(e-1), 2^e)): truncation loses up to one step 2^e / 256,
                    # at most 2 / 256 of the largest channel, and the writer's factor 255
                    # (readers divide by 256) another 1 / 256.
                    largest = expected.max(axis=2, keepdims=True).astype(np.float64)
                    error = np.abs(actual.astype(np.float64) - expected)
                    worst = float((error - largest * 3.0 / 256.0 * (1 + 1e-6)).max())
                    failures.check(worst <= 1e-9, f"{image}: OpenCV values differ by up to {worst:g} past the RGBE "
                                                  f"precision; {first_difference(actual, expected)}")
                    continue
                expected = np.fromfile(expected_path, dtype=np.uint8).reshape(height, width, channels)
                if reader == "png":
                    for name, actual in (("Pillow", read_pillow(path, width, height, channels)),
                                         ("OpenCV", read_opencv_png(path, width, height, channels))):
                        failures.check(np.array_equal(actual, expected),
                                       f"{image} read by {name}: first difference {first_difference(actual, expected)}")
                    continue
                if reader == "pillow":
                    actual = read_pillow(path, width, height, channels)
                else:
                    actual = read_magick(path, width, height, channels, stream)
                check_tga_type(failures, path, form)
                failures.check(np.array_equal(actual, expected),
                               f"{image} read by {reader}: first difference {first_difference(actual, expected)}")
            except (ValueError, OSError, subprocess.CalledProcessError) as error:
                failures.check(False, f"{image} read by {reader}: {error}")


# --- BC1, BC3 and BC5 against Pillow's DDS decoder ---------------------------

BLOCK_WIDTH = 128
BLOCK_HEIGHT = 128


def dds_file(fourcc, width, height, blocks):
    flags = 0x1 | 0x2 | 0x4 | 0x1000 | 0x80000  # caps, height, width, pixel format, linear size
    header = struct.pack("<4sI6I11I", b"DDS ", 124, flags, height, width, len(blocks), 0, 0, *([0] * 11))
    pixel_format = struct.pack("<2I4s5I", 32, 0x4, fourcc, 0, 0, 0, 0, 0)
    caps = struct.pack("<5I", 0x1000, 0, 0, 0, 0)
    return header + pixel_format + caps + blocks


def read_dds(fourcc, width, height, blocks):
    import io
    with Image.open(io.BytesIO(dds_file(fourcc, width, height, blocks))) as image:
        image.load()
        return np.asarray(image)


def random_blocks(generator, count, block_bytes):
    blocks = generator.integers(0, 256, size=(count, block_bytes), dtype=np.uint8)
    # Make sure the rarer cases occur: equal colour endpoints, equal alpha endpoints.
    for i in range(0, count, 16):
        colour = blocks[i, block_bytes - 8:]
        colour[2:4] = colour[0:2]
        if block_bytes == 16:
            blocks[i + 1, 1] = blocks[i + 1, 0]
            blocks[i + 2, 9] = blocks[i + 2, 8]
    return blocks


def per_pixel(block_values, width, height):
    """Spreads one value per block over the block's 4 x 4 pixels."""
    grid = np.asarray(block_values).reshape(height // 4, width // 4)
    return np.repeat(np.repeat(grid, 4, axis=0), 4, axis=1)


def decode_with_writer(fixtures, folder, name, format_code, flags, blocks):
    blocks_path = os.path.join(folder, name + ".blocks")
    blocks.tofile(blocks_path)
    image_name = os.path.join(folder, name)
    subprocess.run([fixtures, "blocks", str(format_code), str(flags), str(BLOCK_WIDTH), str(BLOCK_HEIGHT),
                    blocks_path, image_name], check=True)
    channels = 4 if format_code == 10 and flags == 0 else 3
    return read_pillow(image_name + ".tga", BLOCK_WIDTH, BLOCK_HEIGHT, channels)


def check_blocks(failures, fixtures):
    generator = np.random.default_rng(20261210)
    count = (BLOCK_WIDTH // 4) * (BLOCK_HEIGHT // 4)
    w, h = BLOCK_WIDTH, BLOCK_HEIGHT
    with tempfile.TemporaryDirectory() as folder:
        # BC1: identical, three-colour black included.
        bc1 = random_blocks(generator, count, 8)
        ours = decode_with_writer(fixtures, folder, "bc1", 9, 0, bc1)
        reference = read_dds(b"DXT1", w, h, bc1.tobytes())
        failures.check(np.array_equal(ours, reference[:, :, :3]),
                       f"BC1 differs from Pillow: {first_difference(ours, reference[:, :, :3])}")

        # BC3: alpha identical; colour as Pillow's BC3 where c0 > c1, as its BC1 otherwise.
        bc3 = random_blocks(generator, count, 16)
        ours = decode_with_writer(fixtures, folder, "bc3", 10, 0, bc3)
        four_colour = read_dds(b"DXT5", w, h, bc3.tobytes())
        three_colour = read_dds(b"DXT1", w, h, np.ascontiguousarray(bc3[:, 8:]).tobytes())
        c0 = bc3[:, 8].astype(np.uint32) | bc3[:, 9].astype(np.uint32) << 8
        c1 = bc3[:, 10].astype(np.uint32) | bc3[:, 11].astype(np.uint32) << 8
        uses_three = per_pixel(c0 <= c1, w, h)[:, :, None]
        expected_rgb = np.where(uses_three, three_colour[:, :, :3], four_colour[:, :, :3])
        failures.check(np.array_equal(ours[:, :, :3], expected_rgb),
                       f"BC3 colour differs: {first_difference(ours[:, :, :3], expected_rgb)}")
        failures.check(np.array_equal(ours[:, :, 3], four_colour[:, :, 3]),
                       f"BC3 alpha differs from Pillow: {first_difference(ours[:, :, 3], four_colour[:, :, 3])}")
        failures.check(not np.array_equal(three_colour[:, :, :3], four_colour[:, :, :3]),
                       "the BC3 blocks never exercise the three-colour rule")

        # BC3 with only red and green carrying data: blue 255, green = alpha, red = red.
        ours = decode_with_writer(fixtures, folder, "bc3_two_channel", 10, 0x80, bc3)
        expected = np.stack([expected_rgb[:, :, 0], four_colour[:, :, 3], np.full((h, w), 255, np.uint8)], axis=2)
        failures.check(np.array_equal(ours, expected),
                       f"two-channel BC3 differs: {first_difference(ours, expected)}")

        # BC5: red and green as Pillow's; blue is 255 here, 0 in Pillow.
        bc5 = random_blocks(generator, count, 16)
        ours = decode_with_writer(fixtures, folder, "bc5", 15, 0, bc5)
        reference = read_dds(b"ATI2", w, h, bc5.tobytes())
        failures.check(np.array_equal(ours[:, :, :2], reference[:, :, :2]),
                       f"BC5 channels differ from Pillow: {first_difference(ours[:, :, :2], reference[:, :, :2])}")
        failures.check(bool((ours[:, :, 2] == 255).all()) and bool((reference[:, :, 2] == 0).all()),
                       "BC5 blue is not 255 here and 0 in Pillow")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--fixtures", required=True, help="the image_interop_fixtures program")
    parser.add_argument("--stream", required=True, help="ImageMagick's stream program")
    args = parser.parse_args()
    for program in (args.fixtures, args.stream):
        if not (os.path.isfile(program) and os.access(program, os.X_OK)):
            print(f"required program not found: {program} (ImageMagick's stream comes with the imagemagick package)")
            return 1

    failures = Failures()
    check_fixtures(failures, args.fixtures, args.stream)
    check_blocks(failures, args.fixtures)
    for message in failures.messages:
        print("FAIL:", message)
    if failures.messages:
        return 1
    print("all images read back as written")
    return 0


if __name__ == "__main__":
    sys.exit(main())
