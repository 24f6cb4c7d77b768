#include "python/error_translation.h"

#include <stdexcept>

#include "lumenpull/error.h"
#include "python/path_argument.h"

namespace lumenpull::python {
namespace {

// The exception type, kept for the life of the process: the interpreter
// may be gone by the time static objects are destroyed.
PyObject* errorType = nullptr;

void raise(const char* message) {
    // A message may hold a path that is not valid UTF-8: decoded as the
    // path itself is, so its bytes can be recovered with os.fsencode.
    const py::str text = pathText(message);
    PyErr_SetObject(errorType, text.ptr());
}

}  // namespace

void addErrorType(py::module_& module) {
    py::exception<Error> type(module, "Error", PyExc_Exception);
    type.doc() =
        "A file that is not a resource file, cut short or damaged; a texture that cannot be decoded; an image\n"
        "that cannot be written. str(error) is the message the command-line tool prints for it.";
    errorType = type.release().ptr();
    py::register_exception_translator([](std::exception_ptr thrown) {
        try {
            if (thrown) std::rethrow_exception(thrown);
        } catch (const Error& error) {
            raise(error.what());
        } catch (const std::logic_error& error) {
            raise(error.what());
        }
    });
}

}  // namespace lumenpull::python
