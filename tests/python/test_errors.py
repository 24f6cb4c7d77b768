"""Errors: files the library refuses raise lumenpull.Error with the tool's
message, bad arguments the usual TypeError/ValueError/IndexError, and no
hostile file gets past those."""

import json
import os
import pathlib

import pytest

import lumenpull
from conftest import tool_json


def tool_error(path):
    (report,) = tool_json(path)
    return report["error"]


def test_files_the_library_refuses(sample_by_format, tmp_path):
    whole = sample_by_format["BGRA8"].read_bytes()
    cases = {
        "missing.tex": None,
        "truncated.tex": whole[:40],
        "empty.tex": b"",
        "text.tex": b"not a resource file",
    }
    for name, contents in cases.items():
        path = tmp_path / name
        if contents is not None:
            path.write_bytes(contents)
        with pytest.raises(lumenpull.Error) as raised:
            lumenpull.open(path)
        assert str(raised.value) == tool_error(str(path)), name
        if contents is not None:
            # The same bytes from memory fail the same way past the opening.
            with pytest.raises(lumenpull.Error):
                lumenpull.open(bytearray(contents))


def test_a_rejected_format_ends_the_file_and_has_no_images(sample_files):
    rejected = []
    for path in sample_files:
        try:
            resource = lumenpull.open(path)
        except lumenpull.Error:
            continue
        if resource.rejection:
            rejected.append(resource)
    assert rejected
    for resource in rejected:
        last = resource.textures[-1]
        assert last.rejected and last.format == "rejected" and last.number is None
        assert resource.rejection == f"Invalid texture format {last.code}"
        for call in (last.image, last.images, lambda: last.save("x")):
            with pytest.raises(lumenpull.Error, match=f"^Invalid texture format {last.code}$"):
                call()


def test_paths_that_are_not_utf8(sample_by_format, tmp_path):
    folder = os.fsencode(tmp_path)
    name = folder + b"/caf\xe9-\xff.tex"
    with open(name, "wb") as file:
        file.write(sample_by_format["grey8"].read_bytes())
    as_text = os.fsdecode(name)
    for path in (name, as_text, pathlib.Path(as_text)):
        resource = lumenpull.open(path)
        assert os.fsencode(resource.path) == name
        assert resource.textures[0].image().ndim == 2
    written = resource.textures[0].save(folder + b"/out\xfe.png")
    assert written == [folder + b"/out\xfe.png"] and os.path.exists(written[0])
    assert resource.textures[0].save(os.fsdecode(folder + b"/out\xfd")) == [os.fsdecode(folder + b"/out\xfd.tga")]
    missing = folder + b"/gone\xff.tex"
    with pytest.raises(lumenpull.Error) as raised:
        lumenpull.open(missing)
    assert b"gone\xff.tex" in os.fsencode(str(raised.value))
    (report,) = lumenpull.convert([missing])
    assert os.fsencode(report["file"]) == missing


def test_bad_arguments(sample_by_format, tmp_path):
    resource = lumenpull.open(sample_by_format["BC1"])
    texture = resource.textures[0]
    cube = next(t for t in lumenpull.open(sample_by_format["BGRA8"]).textures if t.kind == "single")
    cases = [
        (TypeError, lambda: lumenpull.open(12)),
        (TypeError, lambda: lumenpull.open(None)),
        (ValueError, lambda: lumenpull.open(b"wall\0.tex")),
        (ValueError, lambda: lumenpull.open("wall\0.tex")),
        (IndexError, lambda: texture.image(-1)),
        (IndexError, lambda: texture.image(texture.image_count)),
        (IndexError, lambda: cube.image(2**40)),
        (TypeError, lambda: texture.image("0")),
        (ValueError, lambda: texture.save(tmp_path / "a", "gif")),
        (ValueError, lambda: texture.save(tmp_path / "a", "exr")),
        (ValueError, lambda: texture.save(tmp_path / "a.hdr")),
        (TypeError, lambda: texture.save(3)),
        (ValueError, lambda: lumenpull.convert([], types="tga png")),
        (ValueError, lambda: lumenpull.convert([], types="gif")),
        (ValueError, lambda: lumenpull.convert([], types=[])),
        (TypeError, lambda: lumenpull.convert([], types=[1])),
        (ValueError, lambda: lumenpull.convert([], jobs=-1)),
        (ValueError, lambda: lumenpull.convert([], jobs=1025)),
        (TypeError, lambda: lumenpull.convert([1])),
        (TypeError, lambda: lumenpull.convert(7)),
    ]
    for error, call in cases:
        with pytest.raises(error):
            call()
    assert not list((tmp_path).iterdir()), "a refused save wrote something"
    resource.close()
    assert resource.closed
    for call in (lambda: resource.textures, lambda: resource.rejection, lambda: resource.texture_objects):
        with pytest.raises(ValueError, match="closed"):
            call()


def hostile_files():
    """The suite's hostile files and the fuzzers' whole-file findings. The
    hostile cases that are big by design (zlib streams that inflate to
    hundreds of megabytes of real pixels) are left to the tool's own runs:
    here they would only take time."""
    files = []
    hostile = os.environ.get("LUMENPULL_HOSTILE_DIR")
    if hostile and os.path.isfile(os.path.join(hostile, "manifest.json")):
        with open(os.path.join(hostile, "manifest.json")) as manifest:
            cases = json.load(manifest)
        files += [pathlib.Path(hostile, case["file"]) for case in cases if case["max_rss"] <= 64 << 20]
    regressions = os.environ.get("LUMENPULL_REGRESSIONS")
    if regressions:
        files += sorted(pathlib.Path(regressions, "convert_fuzz").glob("*"))
    return files


def test_hostile_files_raise_nothing_but_lumenpull_errors(tmp_path):
    files = hostile_files()
    if not files:
        pytest.skip("no hostile files (LUMENPULL_HOSTILE_DIR, LUMENPULL_REGRESSIONS)")
    for n, path in enumerate(files):
        # From the path and from memory by turns: both readers meet every kind.
        try:
            resource = lumenpull.open(path if n % 2 else bytearray(path.read_bytes()))
        except lumenpull.Error:
            continue
        for texture in resource.textures:
            for call in (
                lambda: texture.packing,
                lambda: texture.available_images,
                texture.images,
                lambda: texture.image(texture.image_count - 1) if texture.image_count > 0 else None,
                lambda: texture.save(tmp_path / f"{n}-{texture.index}", "dds"),
            ):
                try:
                    call()
                except lumenpull.Error:
                    pass
