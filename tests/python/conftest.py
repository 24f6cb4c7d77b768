"""Fixtures of the Python module's tests: sample files of every kind, and
the executable whose files and reports the module must match."""

import json
import os
import pathlib
import subprocess

import pytest

# OpenCV reads OpenEXR files only when this is set before its first one.
os.environ.setdefault("OPENCV_IO_ENABLE_OPENEXR", "1")

TOOL = os.environ.get("LUMENPULL_TOOL", "build/lumenpull")


def run_tool(*arguments, cwd=None):
    """The tool's standard output for `arguments`."""
    done = subprocess.run([TOOL, *map(os.fsencode, arguments)], cwd=cwd, stdout=subprocess.PIPE, check=False, timeout=120)
    assert done.returncode == 0, done
    return done.stdout


def tool_json(*arguments, cwd=None):
    """The tool's --json report lines as dicts."""
    return [json.loads(line) for line in run_tool("--json", *arguments, cwd=cwd).splitlines()]


@pytest.fixture(scope="session")
def sample_files(tmp_path_factory):
    """Every sample resource file: the bundled samples and the library tests'
    samples (every pixel format, container kind, packing, cubes and frames
    whole and cut short, textures without pixels, a rejected code)."""
    root = tmp_path_factory.mktemp("samples")
    makers = [("LUMENPULL_API_SAMPLES", "writers"), ("LUMENPULL_MAKE_SAMPLES", "bundled")]
    for variable, folder in makers:
        if os.environ.get(variable):
            subprocess.run([os.environ[variable], str(root / folder)], check=True, stdout=subprocess.DEVNULL)
    files = sorted(path for path in root.rglob("*") if path.is_file())
    assert files, "no sample maker given (LUMENPULL_API_SAMPLES, LUMENPULL_MAKE_SAMPLES)"
    return files


@pytest.fixture(scope="session")
def sample_by_format(sample_files):
    """One sample path per pixel format name of its first texture with pixels."""
    import lumenpull

    chosen = {}
    for path in sample_files:
        try:
            resource = lumenpull.open(path)
        except lumenpull.Error:
            continue
        for texture in resource.textures:
            if not texture.rejected and not texture.without_pixels:
                chosen.setdefault(texture.format, path)
    return chosen
