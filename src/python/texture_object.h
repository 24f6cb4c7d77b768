#pragma once

#include <pybind11/pybind11.h>

#include <cstddef>
#include <memory>

#include "lumenpull/resource.h"

namespace lumenpull::python {

namespace py = pybind11;

// lumenpull.Texture: one texture of a resource, holding a share of the
// Resource so that it stays valid on its own.
class TextureObject {
public:
    TextureObject(std::shared_ptr<const Resource> resource, std::size_t index)
        : resource_(std::move(resource)), index_(index) {}

    const Texture& texture() const { return resource_->textures()[index_]; }
    std::size_t index() const { return index_; }

private:
    std::shared_ptr<const Resource> resource_;
    std::size_t index_;
};

void addTextureClass(py::module_& module);

}  // namespace lumenpull::python
