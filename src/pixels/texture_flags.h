#pragma once

#include <cstdint>

namespace lumenpull {

// Bits of a texture's flags word.
constexpr uint32_t SixFaces = 0x2;      // a cube: six faces, each stored with its smaller levels
constexpr uint32_t TwoChannel = 0x80;   // only red and green carry data
constexpr uint32_t PlaneCoded = 0x200;  // the pixel data is stored as delta-coded planes

}  // namespace lumenpull
