#include "python/resource_object.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "lumenpull/error.h"
#include "lumenpull/patch.h"
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

// The file's bytes, kept so that saving patches what was opened even when
// the file has changed or gone since (or is the file being saved over).
std::vector<uint8_t> fileBytes(const std::string& path) {
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file) throw Error(std::string("error opening reading stream: ") + std::strerror(errno));
    std::vector<uint8_t> bytes;
    uint8_t piece[65536];
    for (std::size_t got; (got = std::fread(piece, 1, sizeof piece, file.get())) != 0;) {
        bytes.insert(bytes.end(), piece, piece + got);
    }
    if (std::ferror(file.get())) throw Error("Error reading the resource file");
    return bytes;
}

std::string repr(const ResourceObject& self) {
    std::string where = self.path() ? std::string(py::repr(pathText(*self.path()))) : std::string("<memory>");
    if (self.closed()) return "<lumenpull.Resource " + where + " closed>";
    return "<lumenpull.Resource " + where + " " + std::to_string(self.shared()->resource.textures().size()) +
           " texture(s)>";
}

}  // namespace

ResourceObject::ResourceObject(std::shared_ptr<OpenedFile> file, std::optional<std::string> path)
    : file_(std::move(file)), path_(std::move(path)) {}

std::shared_ptr<OpenedFile> ResourceObject::shared() const {
    if (!file_) throw py::value_error("I/O operation on a closed resource");
    return file_;
}

void ResourceObject::close() {
    if (file_) file_->closed = true;
    file_.reset();
}

ResourceObject openResource(py::handle source) {
    if (isPath(source)) {
        std::string path = pathArgument(source);
        std::shared_ptr<OpenedFile> file;
        {
            const py::gil_scoped_release unlocked;
            // Opened by the library first, so that a file it cannot read
            // fails with the tool's message for it.
            Resource resource = Resource::open(path);
            file = std::make_shared<OpenedFile>(std::move(resource), fileBytes(path));
        }
        return ResourceObject(std::move(file), std::move(path));
    }
    if (!PyObject_CheckBuffer(source.ptr())) {
        throw py::type_error(
            "open() takes a path (str, bytes, os.PathLike) or a file's contents (bytearray, "
            "memoryview, ...), not " +
            std::string(py::str(py::type::of(source).attr("__name__"))));
    }
    std::vector<uint8_t> bytes = bufferBytes(source);
    std::shared_ptr<OpenedFile> file;
    {
        const py::gil_scoped_release unlocked;
        Resource resource = Resource::fromMemory(std::span<const uint8_t>(bytes));
        file = std::make_shared<OpenedFile>(std::move(resource), std::move(bytes));
    }
    return ResourceObject(std::move(file), std::nullopt);
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
                const std::shared_ptr<OpenedFile> file = self.shared();
                py::list textures;
                for (std::size_t i = 0; i < file->resource.textures().size(); ++i) {
                    textures.append(py::cast(TextureObject(file, i)));
                }
                return py::tuple(textures);
            },
            "every texture with a body, in file order (as the tool's -l lists them)")
        .def_property_readonly(
            "texture_objects", [](const ResourceObject& self) { return self.shared()->resource.textureObjects(); },
            "the texture objects the file declares (the count the tool reports)")
        .def_property_readonly(
            "rejection",
            [](const ResourceObject& self) -> py::object {
                const std::optional<std::string> rejection = self.shared()->resource.rejection();
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
        .def(
            "save",
            [](const ResourceObject& self, py::handle path) {
                const std::shared_ptr<OpenedFile> file = self.shared();
                const std::string target = pathArgument(path);
                const OpenedFile::Replacements pending = file->replacements;
                const py::gil_scoped_release unlocked;
                patch(file->bytes, OpenedFile::libraryForm(pending), target);
            },
            py::arg("path"), R"(save(path) -> None

Writes the resource file again with every image Texture.replace() has
recorded, each texture in the form it is stored in; every other byte stays
as it was. Unchanged, it writes the file as it was opened.

The file is complete under a temporary name in the same folder before it
is renamed over path, so path may be the file the resource was opened
from: the resource keeps the bytes it read, and goes on showing them.
Raises lumenpull.Error for a file that cannot be written ("Error creating
output file: ...") or an image the texture's form cannot take.)")
        .def(
            "patched",
            [](const ResourceObject& self) {
                const std::shared_ptr<OpenedFile> file = self.shared();
                const OpenedFile::Replacements pending = file->replacements;
                std::vector<uint8_t> bytes;
                {
                    const py::gil_scoped_release unlocked;
                    bytes = patch(file->bytes, OpenedFile::libraryForm(pending));
                }
                return py::bytes(reinterpret_cast<const char*>(bytes.data()), bytes.size());
            },
            R"(patched() -> bytes

The file save() writes, in memory (lumenpull.open(bytearray(...)) opens it).)")
        .def("close", &ResourceObject::close,
             "close() -> None\n\nLets go of the file's data (held on by textures still in use); later use raises "
             "ValueError.")
        .def("__enter__", [](py::object self) { return self; })
        .def("__exit__", [](ResourceObject& self, const py::args&) { self.close(); })
        .def("__repr__", &repr);
}

}  // namespace lumenpull::python
