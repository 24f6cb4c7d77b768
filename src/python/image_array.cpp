#include "python/image_array.h"

#include <memory>
#include <string>
#include <vector>

#include "lumenpull/error.h"

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

std::string typeName(py::handle value) { return py::str(py::type::of(value).attr("__name__")); }

// "(height, width, 4) uint8", as the texture's images are.
std::string shapeText(const ImageShape& full) {
    const bool floats = full.layout == PixelLayout::RgbFloat;
    std::string text =
        full.channels() == 1 ? "(height, width)" : "(height, width, " + std::to_string(full.channels()) + ")";
    return text + (floats ? " float32" : " uint8");
}

template <typename Value>
std::vector<Value> valuesOf(const py::array& array) {
    // Contiguous C order, copied from a strided view when it is not.
    const auto ordered = py::array_t<Value, py::array::c_style | py::array::forcecast>::ensure(array);
    if (!ordered) throw py::error_already_set();
    return std::vector<Value>(ordered.data(), ordered.data() + ordered.size());
}

}  // namespace

Image arrayImage(py::handle value, const ImageShape& full) {
    if (!py::isinstance<py::array>(value)) {
        throw py::type_error("expected a NumPy array " + shapeText(full) + ", not " + typeName(value));
    }
    const auto array = py::reinterpret_borrow<py::array>(value);
    const bool floats = full.layout == PixelLayout::RgbFloat;
    const py::dtype wanted = floats ? py::dtype::of<float>() : py::dtype::of<uint8_t>();
    if (!array.dtype().equal(wanted)) {
        throw py::type_error("expected a NumPy array " + shapeText(full) + ", not of dtype " +
                             std::string(py::str(array.dtype())));
    }
    const py::ssize_t dimensions = full.channels() == 1 ? 2 : 3;
    if (array.ndim() != dimensions || (dimensions == 3 && array.shape(2) != full.channels())) {
        std::string shape;
        for (py::ssize_t i = 0; i < array.ndim(); ++i) shape += (i ? ", " : "") + std::to_string(array.shape(i));
        throw py::value_error("expected a NumPy array " + shapeText(full) + ", not of shape (" + shape +
                              (array.ndim() == 1 ? ",)" : ")"));
    }
    const auto width = static_cast<uint64_t>(array.shape(1));
    const auto height = static_cast<uint64_t>(array.shape(0));
    if (width != full.width || height != full.height) {
        throw Error("Image size " + std::to_string(width) + "x" + std::to_string(height) +
                    " does not match the texture's " + std::to_string(full.width) + "x" + std::to_string(full.height));
    }
    Image image;
    image.shape = full;
    if (floats) {
        image.floats = valuesOf<float>(array);
    } else {
        image.bytes = valuesOf<uint8_t>(array);
    }
    return image;
}

py::array imageArray(Image&& image) {
    if (image.shape.layout == PixelLayout::RgbFloat) return arrayOwning(std::move(image.floats), image.shape);
    return arrayOwning(std::move(image.bytes), image.shape);
}

}  // namespace lumenpull::python
