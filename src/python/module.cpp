// The lumenpull Python module: resource files opened from Python, textures
// decoded into NumPy arrays, images written as the tool writes them. The
// GIL is released while files are read, unpacked, decoded and written.

#include <pybind11/pybind11.h>

#include "python/convert_function.h"
#include "python/error_translation.h"
#include "python/resource_object.h"
#include "python/texture_object.h"

namespace py = pybind11;

PYBIND11_MODULE(_lumenpull, module) {
    using namespace lumenpull::python;
    // The signatures are written into the docstrings in Python's own terms
    // (pybind11's would name C++ handle types).
    py::options options;
    options.disable_function_signatures();
    module.doc() = "The compiled part of the lumenpull package; see help(lumenpull).";
    addErrorType(module);
    addTextureClass(module);
    addResourceClass(module);
    addConvertFunction(module);
    module.def("open", &openResource, py::arg("source"), R"(open(source: str | bytes | os.PathLike | Buffer) -> Resource

Opens a resource file and reads it whole.

source is a path (str, bytes or os.PathLike, so names that are not valid
UTF-8 work) or the file's contents in memory as a bytes-like object other
than bytes (bytearray, memoryview, mmap, NumPy array): bytes is a path, as
for Python's own os functions. Raises lumenpull.Error with the tool's
message for a file it cannot read ("error opening reading stream: ...",
"error reading meta data: ...", ...).)");
    module.attr("__version__") = LUMENPULL_VERSION;
}
