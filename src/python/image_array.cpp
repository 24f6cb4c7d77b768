#include "python/image_array.h"

#include <memory>
#include <vector>

namespace lumenpull::python {
namespace {

template <typename Value>
py::array arrayOwning(std::vector<Value>&& values, const ImageShape& shape) {
    std::vector<py::ssize_t> dimensions{static_cast<py::ssize_t>(shape.height), static_cast<py::ssize_t>(shape.width)};
    if (shape.channels() > 1) dimensions.push_back(static_cast<py::ssize_t>(shape.channels()));
    // The capsule deletes the vector with the array's last reference; until
    // the capsule exists the unique_ptr still owns it.
    auto owned = std::make_unique<std::vector<Value>>(std::move(values));
    const py::capsule owner(owned.get(), [](void* pointer) { delete static_cast<std::vector<Value>*>(pointer); });
    Value* data = owned.release()->data();
    return py::array_t<Value>(dimensions, data, owner);
}

}  // namespace

py::array imageArray(Image&& image) {
    if (image.shape.layout == PixelLayout::RgbFloat) return arrayOwning(std::move(image.floats), image.shape);
    return arrayOwning(std::move(image.bytes), image.shape);
}

}  // namespace lumenpull::python
