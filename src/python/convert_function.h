#pragma once

#include <pybind11/pybind11.h>

namespace lumenpull::python {

namespace py = pybind11;

// lumenpull.convert(): a whole conversion (or listing) as the tool runs it.
void addConvertFunction(py::module_& module);

}  // namespace lumenpull::python
