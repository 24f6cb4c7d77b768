#include "python/path_argument.h"

namespace lumenpull::python {

bool isPath(py::handle value) {
    return py::isinstance<py::str>(value) || py::isinstance<py::bytes>(value) || py::hasattr(value, "__fspath__");
}

std::string pathArgument(py::handle value) {
    if (!isPath(value)) {
        throw py::type_error("expected a path (str, bytes or os.PathLike), not " +
                             std::string(py::str(py::type::of(value).attr("__name__"))));
    }
    const py::object os = py::module_::import("os");
    const py::bytes encoded = os.attr("fsencode")(value);
    std::string path = encoded;
    if (path.find('\0') != std::string::npos) {
        throw py::value_error(
            "embedded null byte in the path (a file's contents go as bytearray or memoryview, not bytes)");
    }
    return path;
}

py::str pathText(const std::string& path) {
    PyObject* text = PyUnicode_DecodeFSDefaultAndSize(path.data(), static_cast<Py_ssize_t>(path.size()));
    if (text == nullptr) throw py::error_already_set();
    return py::reinterpret_steal<py::str>(text);
}

py::str displayText(const std::string& text) {
    PyObject* decoded = PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "replace");
    if (decoded == nullptr) throw py::error_already_set();
    return py::reinterpret_steal<py::str>(decoded);
}

}  // namespace lumenpull::python
