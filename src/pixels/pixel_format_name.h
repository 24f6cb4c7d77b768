#pragma once

#include <cstdint>
#include <string>

#include "pixels/pixel_format.h"

namespace lumenpull {

// The name a listing shows for a canonical pixel format: the layout of its
// stored pixels (BGR8, BGRA8, grey8, …) or its block coding (BC1, BC3, BC5).
// The two-channel flag makes a variant of Rgb8, Rgb8B and Bc3 ("-two-channel"),
// since their output differs; the other formats ignore it as the writers do.
std::string pixelFormatName(PixelFormat format, bool twoChannel);

}  // namespace lumenpull
