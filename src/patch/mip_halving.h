#pragma once

#include "lumenpull/image.h"

namespace lumenpull {

// The next smaller mip level of an image: half its width and height,
// rounded down and never below 1, each pixel the mean of the 2x2 pixels it
// covers (8-bit values rounded to nearest).
Image halved(const Image& image);

}  // namespace lumenpull
