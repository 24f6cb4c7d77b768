"""Putting images back: Texture.replace() records new pixels, Resource.save()
and Resource.patched() write the file again in each texture's stored form."""

import numpy as np
import pytest

import lumenpull

# The least PSNR (dB) of a block-coded texture's picture against the edit
# put into it: the block encoder's loss.
LEAST_PSNR = {"BC1": 30.0, "BC3": 30.0, "BC5": 35.0}


def opened(paths):
    """(path, resource) for every path the library opens."""
    for path in paths:
        try:
            yield path, lumenpull.open(path)
        except lumenpull.Error:
            pass


def whole_textures(resource):
    """The textures whose every image is there at the texture's full size."""
    for texture in resource.textures:
        if texture.rejected or texture.without_pixels or texture.packing.short:
            continue
        if texture.available_images == texture.image_count:
            yield texture


def encodable(texture):
    """Whether patching takes the texture: block rows of a width that is no
    multiple of 4 do not cut into whole blocks, and are refused."""
    return not (texture.format.startswith("BC") and texture.width % 4)


def edited(texture, image):
    """A picture every stored form can take: 8-bit values inverted (blue kept
    where only red and green carry data), floats halved."""
    if image.dtype == np.float32:
        return image * np.float32(0.5)
    new = 255 - image
    if texture.two_channel or texture.format == "BC5":
        new[..., 2] = image[..., 2]
    return new


def psnr(a, b):
    squares = np.sum((a.astype(float) - b.astype(float)) ** 2)
    return 99.0 if squares == 0 else 10 * np.log10(255.0**2 * a.size / squares)


def test_images_put_back_unchanged_give_the_file_back(sample_files, tmp_path):
    saved = 0
    for n, (path, resource) in enumerate(opened(sample_files)):
        original = path.read_bytes()
        for texture in filter(encodable, whole_textures(resource)):
            for i, image in enumerate(texture.images()):
                texture.replace(image, i)
        out = tmp_path / f"{n}{path.suffix}"
        resource.save(out)
        assert out.read_bytes() == original, path
        assert resource.patched() == original, path
        saved += 1
    assert saved > 5


@pytest.mark.parametrize("from_memory", [False, True])
def test_edited_images_read_back(sample_by_format, tmp_path, from_memory):
    for name, path in sample_by_format.items():
        resource = lumenpull.open(bytearray(path.read_bytes()) if from_memory else path)
        texture = next(whole_textures(resource), None)
        if texture is None:
            continue
        wanted = [edited(texture, image) for image in texture.images()]
        for i, image in enumerate(wanted):
            # Any memory order will do: Fortran order is copied into rows.
            texture.replace(np.asfortranarray(image), i)
        out = tmp_path / f"{name}-{from_memory}.tex"
        resource.save(out)
        again = lumenpull.open(out).textures[texture.index]
        for i, want in enumerate(wanted):
            got = again.image(i)
            if name in LEAST_PSNR:
                assert psnr(got, want) >= LEAST_PSNR[name], (name, i, psnr(got, want))
            elif got.dtype == np.float32:
                np.testing.assert_allclose(got, want, rtol=1 / 64, err_msg=name)
            else:
                assert np.array_equal(got, want), (name, i)


def test_replace_copies_and_the_resource_keeps_showing_what_it_opened(sample_by_format, tmp_path):
    path = tmp_path / "own.tex"
    path.write_bytes(sample_by_format["BGRA8"].read_bytes())
    resource = lumenpull.open(path)
    texture = next(whole_textures(resource))
    before = texture.image()
    new = 255 - before
    texture.replace(new)
    new[:] = 7  # changed after replace(): not what is saved
    assert np.array_equal(texture.image(), before)
    # Saving over the file it was opened from: the resource holds its bytes.
    resource.save(resource.path)
    assert np.array_equal(texture.image(), before)
    assert np.array_equal(lumenpull.open(path).textures[texture.index].image(), 255 - before)
    # Saved again, the file is the same: the replacement applies to the
    # bytes that were opened, not to the file as it is now.
    first = path.read_bytes()
    resource.save(path)
    assert path.read_bytes() == first


def test_arrays_replace_refuses(sample_by_format):
    eight = next(whole_textures(lumenpull.open(sample_by_format["BGRA8"])))
    hdr = next(whole_textures(lumenpull.open(sample_by_format["HDR"])))
    grey = next(whole_textures(lumenpull.open(sample_by_format["grey8"])))
    h, w = eight.height, eight.width
    cases = [
        (eight, [[0]], TypeError, "expected a NumPy array (height, width, 4) uint8, not list"),
        (eight, np.zeros((h, w, 4)), TypeError, "not of dtype float64"),
        (hdr, np.zeros((hdr.height, hdr.width, 3), np.uint8), TypeError, "float32, not of dtype uint8"),
        (eight, np.zeros((h, w, 3), np.uint8), ValueError, "(height, width, 4) uint8, not of shape"),
        (grey, np.zeros((grey.height, grey.width, 1), np.uint8), ValueError, "(height, width) uint8"),
        (eight, np.zeros(h * w * 4, np.uint8), ValueError, f"not of shape ({h * w * 4},)"),
        (eight, np.zeros((h + 1, w, 4), np.uint8), lumenpull.Error,
         f"Image size {w}x{h + 1} does not match the texture's {w}x{h}"),
    ]
    for texture, array, error, message in cases:
        with pytest.raises(error) as raised:
            texture.replace(array)
        assert message in str(raised.value), (message, str(raised.value))
    with pytest.raises(IndexError):
        eight.replace(eight.image(), eight.image_count)


def test_what_cannot_be_saved(sample_files, sample_by_format, tmp_path):
    resource = lumenpull.open(sample_by_format["BGRA8"])
    with pytest.raises(lumenpull.Error, match="^Error creating output file: "):
        resource.save(tmp_path / "missing" / "out.tex")
    without = [t for _, r in opened(sample_files) for t in r.textures if t.without_pixels]
    assert without
    for texture in without:
        with pytest.raises(lumenpull.Error, match="Texture without pixel data"):
            texture.replace(np.zeros((texture.height, texture.width, 4), np.uint8))
    texture = resource.textures[0]
    resource.close()
    with pytest.raises(ValueError, match="closed"):
        texture.replace(texture.image())
