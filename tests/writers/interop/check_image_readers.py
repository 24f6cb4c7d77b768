#!/usr/bin/python3
"""Reads files written by the TGA and Radiance writers back with independent
readers and compares every pixel.

- TGA files: Pillow, OpenCV (colour channels only; its GDAL decoder drops
  alpha) and ImageMagick's `stream`, every one to exactly the expected
  pixels; in packed files no packet may hold pixels of two rows (readers
  decode a row at a time, and Pillow refuses such packets). Every kind of
  pixel row is among the fixtures, and with --tool and --samples every TGA
  file of the bundled samples is read the same way, against the pixels of
  the same samples converted with -u (see tga_readers.py).
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

- DDS files (-t dds): Pillow reads the largest image (of the first face),
  ImageMagick every face of a cube map; both must give the pixels of the
  TGA file of the same texture, except where a standard reader decodes
  differently from the TGA path (the two choices above): BC3 colour blocks
  with first endpoint not above the second, and BC5 blue. Every header
  field and the size of every mip level are checked against the layout
  rules. ImageMagick here knows neither BC5 (ATI2) nor float (FourCC 116)
  files, and Pillow no float files: those are compared by Pillow only, and
  float files by their structure and values against the Radiance file.
- OpenEXR files: OpenCV, equal to the decoded floats; and within RGBE
  precision of the Radiance file of the same texture.

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

    sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
    from tga_readers import check_tga, first_difference, read_pillow, tga_pixels
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


# --- TGA and Radiance fixtures ---------------------------------------------

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
        subprocess.run([*fixtures, "images", folder], check=True)
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
                check_tga_type(failures, path, form)
                for problem in check_tga(path, expected, stream, image):
                    failures.check(False, problem)
            except (ValueError, OSError, subprocess.CalledProcessError) as error:
                failures.check(False, f"{image} read by {reader}: {error}")


# --- The bundled samples --------------------------------------------------------

def check_samples(failures, run, samples, tool, stream):
    """Every TGA file of the samples, packed, against the same samples
    converted with -u into a folder of their own."""
    with tempfile.TemporaryDirectory() as folder:
        inputs = os.path.join(folder, "samples")
        subprocess.run([*run, samples, inputs], check=True, stdout=subprocess.DEVNULL)
        plain = os.path.join(folder, "plain")
        for keys in ([], ["-u", "-o", plain]):
            subprocess.run([*run, tool, "-r", *keys, inputs], check=True, stdout=subprocess.DEVNULL)
        images = sorted(os.path.relpath(os.path.join(d, f), inputs)
                        for d, _, files in os.walk(inputs) for f in files if f.endswith(".tga"))
        failures.check(len(images) >= 20, f"only {len(images)} TGA files among the samples")
        packed = 0
        for image in images:
            path = os.path.join(inputs, image)
            try:
                reference = tga_pixels(os.path.join(plain, "samples", image))
                packed += tga_pixels(path).packed
            except (ValueError, OSError) as error:
                failures.check(False, f"sample {image}: {error}")
                continue
            for problem in check_tga(path, reference.pixels, stream, "sample " + image):
                failures.check(False, problem)
        failures.check(packed >= 10, f"only {packed} sample TGA files are packed")


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
    subprocess.run([*fixtures, "blocks", str(format_code), str(flags), str(BLOCK_WIDTH), str(BLOCK_HEIGHT),
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


# --- DDS files -----------------------------------------------------------------

DDS_LAYOUT = {
    # kind: (FourCC or None, pixel flags, bit count, masks, block bytes, bytes per pixel)
    "bc1": (b"DXT1", 0x4, 0, (0, 0, 0, 0), 8, 0),
    "bc3": (b"DXT5", 0x4, 0, (0, 0, 0, 0), 16, 0),
    "bc3two": (b"DXT5", 0x4, 0, (0, 0, 0, 0), 16, 0),
    "bc5": (b"ATI2", 0x4, 0, (0, 0, 0, 0), 16, 0),
    "rgb": (None, 0x40, 24, (0xFF0000, 0xFF00, 0xFF, 0), 0, 3),
    "rgba": (None, 0x41, 32, (0xFF0000, 0xFF00, 0xFF, 0xFF000000), 0, 4),
    "grey": (None, 0x20000, 8, (0xFF, 0, 0, 0), 0, 1),
    "float": (struct.pack("<I", 116), 0x4, 0, (0, 0, 0, 0), 0, 16),
}


def level_bytes(kind, width, height):
    _, _, _, _, block, pixel = DDS_LAYOUT[kind]
    if block:
        return ((width + 3) // 4) * ((height + 3) // 4) * block
    return width * height * pixel


def check_dds_structure(failures, path, kind, width, height, faces, levels):
    """Every header field, and a file size of exactly the levels' sizes."""
    with open(path, "rb") as f:
        data = f.read()
    name = os.path.basename(path)
    fourcc, pixel_flags, bit_count, masks, block, _ = DDS_LAYOUT[kind]
    (magic, size, flags, h, w, pitch, depth, mip_count) = struct.unpack_from("<4s7I", data, 0)
    reserved = struct.unpack_from("<11I", data, 32)
    pf_size, pf_flags, pf_fourcc, pf_bits = struct.unpack_from("<2I4sI", data, 76)
    pf_masks = struct.unpack_from("<4I", data, 92)
    caps, caps2, caps3, caps4, reserved2 = struct.unpack_from("<5I", data, 108)
    expected_flags = 0x1 | 0x2 | 0x4 | 0x1000 | 0x20000 | (0x80000 if block else 0x8)
    expected_pitch = level_bytes(kind, w, h) if block else level_bytes(kind, w, 1)
    expected_caps = 0x1000 | (0x400008 if levels > 1 else 0) | (0x8 if faces == 6 else 0)
    checks = [
        (magic == b"DDS " and size == 124, "magic and header size"),
        (flags == expected_flags, f"flags {flags:#x}, expected {expected_flags:#x}"),
        (w == width and h <= height and (h == height or h % 4 == 0 or not block), f"size {w} x {h}"),
        (pitch == expected_pitch, f"pitch or linear size {pitch}, expected {expected_pitch}"),
        (depth == 0 and not any(reserved) and caps3 == 0 and caps4 == 0 and reserved2 == 0, "reserved fields"),
        (mip_count == levels, f"mip-map count {mip_count}, expected {levels}"),
        (pf_size == 32 and pf_flags == pixel_flags, f"pixel format flags {pf_flags:#x}"),
        (fourcc is None or pf_fourcc == fourcc, f"FourCC {pf_fourcc}"),
        (pf_bits == bit_count and pf_masks == masks, f"bit count {pf_bits}, masks {pf_masks}"),
        (caps == expected_caps, f"caps {caps:#x}, expected {expected_caps:#x}"),
        (caps2 == (0xFE00 if faces == 6 else 0), f"caps2 {caps2:#x}"),
    ]
    level_sizes = [level_bytes(kind, max(w >> k, 1), max(h >> k, 1)) for k in range(levels)]
    checks.append((len(data) == 128 + faces * sum(level_sizes),
                   f"{len(data) - 128} data bytes, expected {faces} x {level_sizes}"))
    for ok, what in checks:
        failures.check(ok, f"{name}: {what}")
    return h


def block_grid(data, width, height, block, offset, start=0):
    """Per pixel of the largest level (of the face at `start`): whether its block has c0 > c1."""
    blocks_wide = (width + 3) // 4
    count = blocks_wide * ((height + 3) // 4)
    raw = np.frombuffer(data, dtype=np.uint8, count=count * block, offset=128 + start).reshape(count, block)
    c0 = raw[:, offset].astype(np.uint32) | raw[:, offset + 1].astype(np.uint32) << 8
    c1 = raw[:, offset + 2].astype(np.uint32) | raw[:, offset + 3].astype(np.uint32) << 8
    grid = (c0 > c1).reshape(-1, blocks_wide)
    return np.repeat(np.repeat(grid, 4, axis=0), 4, axis=1)[:height, :width]


def read_all_faces_magick(path, width, height, faces):
    with tempfile.TemporaryDirectory() as scratch:
        raw = os.path.join(scratch, "faces.rgba")
        subprocess.run(["convert", "-define", "dds:skip-mipmaps=false", path, "-depth", "8", "RGBA:" + raw],
                       check=True, capture_output=True)
        data = np.fromfile(raw, dtype=np.uint8)
    if data.size != faces * width * height * 4:
        raise ValueError(f"ImageMagick read {data.size} bytes for {faces} faces")
    return data.reshape(faces, height, width, 4)


def compare_with_tga(failures, label, kind, dds_rgba, tga, four_colour):
    """The documented differences aside, a standard reader's DDS pixels are the TGA's."""
    # Pixels no stored block covers are zero in the TGA file (blue too).
    height, width = tga.shape[:2]
    covered = np.zeros((height, width), dtype=bool)
    covered[:height // 4 * 4, :width // 4 * 4] = True
    blue = np.where(covered, 255, 0)
    if kind in ("bc1", "rgb"):
        ok = np.array_equal(dds_rgba[:, :, :3], tga[:, :, :3])
    elif kind == "grey":
        ok = np.array_equal(dds_rgba[:, :, 0], tga[:, :, 0])
    elif kind == "rgba":
        ok = np.array_equal(dds_rgba, tga)
    elif kind == "bc3":
        # Alpha everywhere; colour only where the block has c0 > c1.
        ok = np.array_equal(dds_rgba[:, :, 3], tga[:, :, 3]) and \
            np.array_equal(dds_rgba[:, :, :3][four_colour], tga[:, :, :3][four_colour])
    elif kind == "bc3two":
        # The TGA holds red, alpha as green, and blue 255.
        ok = np.array_equal(dds_rgba[:, :, 3], tga[:, :, 1]) and np.array_equal(tga[:, :, 2], blue) and \
            np.array_equal(dds_rgba[:, :, 0][four_colour], tga[:, :, 0][four_colour])
    elif kind == "bc5":
        # Red and green as decoded; blue 255 in the TGA, 0 in the reader.
        ok = np.array_equal(dds_rgba[:, :, :2], tga[:, :, :2]) and np.array_equal(tga[:, :, 2], blue) and \
            (dds_rgba[:, :, 2] == 0).all()
    else:
        ok = False
    failures.check(bool(ok), f"{label}: pixels differ from the TGA file")


def read_pillow_rgba(path):
    with Image.open(path) as image:
        image.load()
        return np.asarray(image.convert("RGBA"))


def check_dds(failures, fixtures):
    with tempfile.TemporaryDirectory() as folder:
        subprocess.run([*fixtures, "dds", folder], check=True)
        with open(os.path.join(folder, "dds_manifest.txt")) as manifest:
            entries = [line.split() for line in manifest if line.strip()]
        three_colour_blocks = 0
        for kind, name, width, height, faces, levels in entries:
            width, height, faces, levels = int(width), int(height), int(faces), int(levels)
            path = os.path.join(folder, name + ".dds")
            try:
                h = check_dds_structure(failures, path, kind, width, height, faces, levels)
                if kind == "float":
                    with open(path, "rb") as f:
                        values = np.frombuffer(f.read()[128:], dtype=np.float32).reshape(h, width, 4)
                    hdr = read_opencv(os.path.join(folder, name + ".hdr"), width, h)
                    largest = values[:, :, :3].max(axis=2, keepdims=True).astype(np.float64)
                    worst = float((np.abs(hdr - values[:, :, :3]) - largest * 3.0 / 256.0 * (1 + 1e-6)).max())
                    failures.check(worst <= 1e-9 and (values[:, :, 3] == 1.0).all(),
                                   f"{name}: floats differ from the Radiance file by up to {worst:g}")
                    continue
                tga_names = [name + ".tga"] if faces == 1 else [f"{name}_{i:02d}.tga" for i in range(faces)]
                tgas = [read_pillow_rgba(os.path.join(folder, t)) for t in tga_names]
                with open(path, "rb") as f:
                    data = f.read()
                four_colour = None
                if kind in ("bc3", "bc3two"):
                    four_colour = block_grid(data, width, h, 16, 8)
                    three_colour_blocks += int((~four_colour).sum() // 16)
                compare_with_tga(failures, f"{name} read by Pillow", kind, read_pillow_rgba(path), tgas[0],
                                 four_colour)
                if kind == "bc5":
                    continue  # ImageMagick here has no BC5 decoder
                faces_read = read_all_faces_magick(path, width, h, faces)
                face_bytes = (len(data) - 128) // faces
                # The ImageMagick here skips one mip level too few between the
                # faces of a cube (the last, 1 x 1 level stays), so with a
                # chain only its first face is read right; the structure check
                # above covers the layout of the others.
                checked_faces = tgas if levels == 1 else tgas[:1]
                for face, tga in enumerate(checked_faces):
                    grid = None
                    if kind in ("bc3", "bc3two"):
                        grid = block_grid(data, width, h, 16, 8, face * face_bytes)
                    compare_with_tga(failures, f"{name} face {face} read by ImageMagick", kind, faces_read[face],
                                     tga, grid)
            except (ValueError, OSError, subprocess.CalledProcessError, struct.error) as error:
                failures.check(False, f"{name}.dds: {error}")
        failures.check(three_colour_blocks > 0, "the BC3 DDS fixtures never hold a block with c0 <= c1")


def check_exr(failures, fixtures):
    os.environ["OPENCV_IO_ENABLE_OPENEXR"] = "1"  # read before OpenCV's first EXR file
    with tempfile.TemporaryDirectory() as folder:
        subprocess.run([*fixtures, "exr", folder], check=True)
        with open(os.path.join(folder, "exr_manifest.txt")) as manifest:
            entries = [line.split() for line in manifest if line.strip()]
        for name, width, height in entries:
            width, height = int(width), int(height)
            try:
                expected = np.fromfile(os.path.join(folder, name + ".expected"), dtype=np.float32)
                expected = expected.reshape(height, width, 3)
                exr = read_opencv(os.path.join(folder, name + ".exr"), width, height)
                failures.check(np.array_equal(exr, expected),
                               f"{name}.exr read by OpenCV: {first_difference(exr, expected)}")
                hdr = read_opencv(os.path.join(folder, name + ".hdr"), width, height)
                largest = exr.max(axis=2, keepdims=True).astype(np.float64)
                worst = float((np.abs(hdr.astype(np.float64) - exr) - largest * 3.0 / 256.0 * (1 + 1e-6)).max())
                failures.check(worst <= 1e-9, f"{name}: Radiance and EXR differ by up to {worst:g} past RGBE")
            except (ValueError, OSError, subprocess.CalledProcessError) as error:
                failures.check(False, f"{name}.exr: {error}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--fixtures", required=True, help="the image_interop_fixtures program")
    parser.add_argument("--stream", required=True, help="ImageMagick's stream program")
    parser.add_argument("--emulator", help="runs the fixtures program when it is built for another machine")
    parser.add_argument("--tool", help="the lumenpull executable, to convert the samples")
    parser.add_argument("--samples", help="the make_samples program")
    args = parser.parse_args()
    if bool(args.tool) != bool(args.samples):
        print("--tool and --samples go together")
        return 1
    for program in (args.fixtures, args.stream) + ((args.tool, args.samples) if args.tool else ()):
        if not (os.path.isfile(program) and os.access(program, os.X_OK)):
            print(f"required program not found: {program} (ImageMagick's stream comes with the imagemagick package)")
            return 1

    run = [args.emulator] if args.emulator else []
    fixtures = run + [args.fixtures]
    failures = Failures()
    check_fixtures(failures, fixtures, args.stream)
    if args.tool:
        check_samples(failures, run, args.samples, args.tool, args.stream)
    check_blocks(failures, fixtures)
    check_dds(failures, fixtures)
    check_exr(failures, fixtures)
    for message in failures.messages:
        print("FAIL:", message)
    if failures.messages:
        return 1
    print("all images read back as written")
    return 0


if __name__ == "__main__":
    sys.exit(main())
