#pragma once

#include <pybind11/pybind11.h>

namespace lumenpull::python {

namespace py = pybind11;

// Adds lumenpull.Error (a subclass of Exception) to `module` and raises it
// for every lumenpull::Error, with the library's message. The standard
// exceptions the format's own table checks throw for a hostile file are the
// file's failure as well (the tool reports them as its line): they raise
// lumenpull.Error too. std::bad_alloc stays MemoryError.
void addErrorType(py::module_& module);

}  // namespace lumenpull::python
