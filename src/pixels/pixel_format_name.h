#pragma once

#include <cstdint>
#include <string>

namespace lumenpull {

// The name a listing shows for a canonical pixel format: the layout of its
// stored pixels (BGR8, BGRA8, grey8, …) or its block coding (BC1, BC3, BC5).
// The two-channel flag makes a variant of formats 2, 4 and 10 ("-two-channel"),
// since their output differs; the other formats ignore it as the writers do.
std::string pixelFormatName(int32_t canonical, bool twoChannel);

}  // namespace lumenpull
