#include "python/resource_object.h"

#include <cstdint>
#include <vector>

#include "python/path_argument.h"
#include "python/texture_object.h"

namespace lumenpull::python {
namespace {

// The bytes of a contiguous buffer (bytearray, memoryview, NumPy array,
// mmap), copied while the GIL is held: the exporter may change them later.
std::vector<uint8_t> bufferBytes(py::handle source) {
    Py_buffer view;
    if (PyObject_GetBuffer(source.ptr(), &view, PyBUF_SIMPLE) != 0) throw py::error_already_set();
    const auto* begin = static_cast<const uint8_t*>(view.buf);
    std::vector<uint8_t> bytes;
    try {
        bytes.assign(begin, begin + view.len);
    } catch (...) {
        PyBuffer_Release(&view);
        throw;
    }
    PyBuffer_Release(&view);
    return bytes;
}

std::string repr(const ResourceObject& self) {
    std::string where = self.path() ? std::string(py::repr(pathText(*self.path()))) : std::string("<memory>");
    if (self.closed()) return "<lumenpull.Resource " + where + " closed>";
    return "<lumenpull.Resource " + where + " " + std::to_string(self.shared()->textures().size()) + " texture(s)>";
}

}  // namespace

ResourceObject::ResourceObject(std::shared_ptr<const Resource> resource, std::optional<std::string> path)
    : resource_(std::move(resource)), path_(std::move(path)) {}

std::shared_ptr<const Resource> ResourceObject::shared() const {
    if (!resource_) throw py::value_error("I/O operation on a closed resource");
    return resource_;
}

ResourceObject openResource(py::handle source) {
    if (isPath(source)) {
        std::string path = pathArgument(source);
        std::shared_ptr<const Resource> resource;
        {
            const py::gil_scoped_release unlocked;
            resource = std::make_shared<const Resource>(Resource::open(path));
        }
        return ResourceObject(std::move(resource), std::move(path));
    }
    if (!PyObject_CheckBuffer(source.ptr())) {
        throw py::type_error(
            "open() takes a path (str, bytes, os.PathLike) or a file's contents (bytearray, "
            "memoryview, ...), not " +
            std::string(py::str(py::type::of(source).attr("__name__"))));
    }
    std::vector<uint8_t> bytes = bufferBytes(source);
    std::shared_ptr<const Resource> resource;
    {
        const py::gil_scoped_release unlocked;
        resource = std::make_shared<const Resource>(Resource::fromMemory(std::move(bytes)));
    }
    return ResourceObject(std::move(resource), std::nullopt);
}

void addResourceClass(py::module_& module) {
    py::class_<ResourceObject>(module, "Resource", R"(An open resource file: its textures, read as the tool reads them.

The whole file is read when it is opened (lumenpull.open); nothing changes
afterwards, and distinct threads may decode its textures at once. As a
context manager it is closed on leaving the block; its textures stay
usable.)")
        .def_property_readonly(
            "textures",
            [](const ResourceObject& self) {
                const std::shared_ptr<const Resource> resource = self.shared();
                py::list textures;
                for (std::size_t i = 0; i < resource->textures().size(); ++i) {
                    textures.append(py::cast(TextureObject(resource, i)));
                }
                return py::tuple(textures);
            },
            "every texture with a body, in file order (as the tool's -l lists them)")
        .def_property_readonly(
            "texture_objects", [](const ResourceObject& self) { return self.shared()->textureObjects(); },
            "the texture objects the file declares (the count the tool reports)")
        .def_property_readonly(
            "rejection",
            [](const ResourceObject& self) -> py::object {
                const std::optional<std::string> rejection = self.shared()->rejection();
                if (!rejection) return py::none();
                return py::str(*rejection);
            },
            "\"Invalid texture format N\" when a rejected texture ended the reading, else None")
        .def_property_readonly(
            "path",
            [](const ResourceObject& self) -> py::object {
                if (!self.path()) return py::none();
                return pathText(*self.path());
            },
            "the path it was opened from, None for a file's contents")
        .def_property_readonly("closed", &ResourceObject::closed)
        .def("close", &ResourceObject::close,
             "close() -> None\n\nLets go of the file's data (held on by textures still in use); later use raises "
             "ValueError.")
        .def("__enter__", [](py::object self) { return self; })
        .def("__exit__", [](ResourceObject& self, const py::args&) { self.close(); })
        .def("__repr__", &repr);
}

}  // namespace lumenpull::python
