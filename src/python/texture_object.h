#pragma once

#include <pybind11/pybind11.h>

#include <cstddef>
#include <memory>

#include "python/opened_file.h"

namespace lumenpull::python {

namespace py = pybind11;

// lumenpull.Texture: one texture of a resource, holding a share of the
// opened file so that it stays valid on its own.
class TextureObject {
public:
    TextureObject(std::shared_ptr<OpenedFile> file, std::size_t index) : file_(std::move(file)), index_(index) {}

    const Texture& texture() const { return file_->resource.textures()[index_]; }
    OpenedFile& file() const { return *file_; }
    std::size_t index() const { return index_; }

private:
    std::shared_ptr<OpenedFile> file_;
    std::size_t index_;
};

void addTextureClass(py::module_& module);

}  // namespace lumenpull::python
