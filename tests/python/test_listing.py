"""Texture attributes and convert() reports against the tool's -l --json
and --json output for the same files."""

import os

import pytest

import lumenpull
from conftest import tool_json


def attributes(texture):
    """A texture's attributes under the JSON listing's field names."""
    packing = texture.packing
    return {
        "number": texture.number,
        "skipped": texture.without_pixels,
        "type": texture.type,
        "width": texture.width,
        "height": texture.height,
        "format": texture.format,
        "code": texture.code,
        "layout": texture.kind,
        "images": texture.image_count,
        "bytes": texture.stored_bytes,
        "zlib": packing.zlib,
        "planes": packing.planes,
        "mips": packing.mips,
        "short": packing.short,
    }


def test_texture_attributes_are_the_listing_fields(sample_files):
    seen = set()
    for path in sample_files:
        (listing,) = tool_json("-l", str(path))
        try:
            resource = lumenpull.open(path)
        except lumenpull.Error as error:
            assert listing["error"] == str(error)
            continue
        expected = [{key: value for key, value in row.items() if key != "names"} for row in listing["list"]]
        assert [attributes(texture) for texture in resource.textures] == expected, path
        assert [t.index for t in resource.textures] == list(range(len(expected)))
        if "error" in listing:
            assert resource.rejection == listing["error"] and resource.textures[-1].rejected
        else:
            assert resource.rejection is None and resource.texture_objects == listing["textures"]
        for texture in resource.textures:
            seen.add(texture.format if texture.rejected or texture.without_pixels else texture.kind)
            if texture.rejected or texture.without_pixels:
                assert texture.available_images == 0
    assert {"single", "cube", "frames", "rejected"} <= seen


@pytest.mark.parametrize(
    "keys, arguments",
    [
        ((), {}),
        (("-l",), {"list_only": True}),
        (("-t", "png exr", "-j", "2"), {"types": ["png", "exr"], "jobs": 2}),
        (("-u", "-t", "dds"), {"types": "dds", "uncompressed": True}),
    ],
)
def test_convert_reports_are_the_json_report(sample_files, tmp_path, monkeypatch, keys, arguments):
    # The same relative output folder from two working folders: the names
    # in the reports are then the same text.
    (tmp_path / "tool").mkdir()
    (tmp_path / "module").mkdir()
    paths = [str(path) for path in sample_files]
    expected = tool_json(*keys, "-o", "out", *paths, cwd=tmp_path / "tool")
    monkeypatch.chdir(tmp_path / "module")
    assert lumenpull.convert(paths, output_folder="out", **arguments) == expected
    written = lambda root: sorted(  # noqa: E731
        (os.path.relpath(os.path.join(folder, name), root), open(os.path.join(folder, name), "rb").read())
        for folder, _, names in os.walk(root)
        for name in names
    )
    assert written(tmp_path / "module") == written(tmp_path / "tool")


def test_convert_takes_one_path_and_reports_failures_without_raising(tmp_path):
    (report,) = lumenpull.convert(tmp_path / "missing.tex")
    assert report["kind"] == "io" and report["error"].startswith("error opening reading stream: ")
    assert report["file"] == str(tmp_path / "missing.tex") and report["written"] == []
