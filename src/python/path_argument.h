#pragma once

#include <pybind11/pybind11.h>

#include <string>

namespace lumenpull::python {

namespace py = pybind11;

// Whether `value` is a path as Python's os functions take one: str, bytes
// or an os.PathLike.
bool isPath(py::handle value);

// The bytes of a path, as os.fsencode gives them, so that a name that is
// not valid UTF-8 reaches the file system unchanged. Raises TypeError for
// anything but a path and ValueError for a NUL byte in it.
std::string pathArgument(py::handle value);

// A path the library gives back, as os.fsdecode makes it: bytes that are
// not valid UTF-8 become lone surrogates and encode back unchanged.
py::str pathText(const std::string& path);

// A message or name from a file, for display: invalid UTF-8 replaced by
// U+FFFD (never an exception).
py::str displayText(const std::string& text);

}  // namespace lumenpull::python
