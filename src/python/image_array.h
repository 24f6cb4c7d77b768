#pragma once

#include <pybind11/numpy.h>

#include "lumenpull/image.h"

namespace lumenpull::python {

namespace py = pybind11;

// A decoded image as a NumPy array that owns its pixels (taken over from
// `image`, not copied): shape (height, width) for grey, (height, width, 3)
// or (height, width, 4) uint8 for colour, (height, width, 3) float32 for
// high-dynamic-range images; top row first, channels in RGB(A) order. It
// depends on nothing else, so it outlives the texture and the resource.
py::array imageArray(Image&& image);

// The pixels of `value`, an array shaped and typed as imageArray gives an
// image of layout `full` (C-contiguous or not), copied: the caller's array
// may change afterwards. Raises TypeError for another type or dtype and
// ValueError for another number of dimensions or channels; another width
// or height is the library's error, with its message.
Image arrayImage(py::handle value, const ImageShape& full);

}  // namespace lumenpull::python
