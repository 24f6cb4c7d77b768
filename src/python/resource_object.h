#pragma once

#include <pybind11/pybind11.h>

#include <memory>
#include <optional>
#include <string>

#include "python/opened_file.h"

namespace lumenpull::python {

namespace py = pybind11;

// lumenpull.Resource: an open resource file. Its textures share the
// opened file with it, so a texture stays usable after the resource object
// is closed or gone; close() drops only this object's share.
class ResourceObject {
public:
    ResourceObject(std::shared_ptr<OpenedFile> file, std::optional<std::string> path);

    // The opened file; raises ValueError once closed. Taken while the GIL
    // is held, and kept by the caller while it works without it.
    std::shared_ptr<OpenedFile> shared() const;
    const std::optional<std::string>& path() const { return path_; }
    void close();
    bool closed() const { return file_ == nullptr; }

private:
    std::shared_ptr<OpenedFile> file_;
    std::optional<std::string> path_;  // none for a file's bytes in memory
};

// lumenpull.open(source): reads a resource file from a path or from the
// file's bytes in memory, without the GIL.
ResourceObject openResource(py::handle source);

void addResourceClass(py::module_& module);

}  // namespace lumenpull::python
