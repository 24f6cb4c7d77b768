#pragma once

// Two-channel textures are usually tangent-space normal maps that store only
// X and Y; their blue can be the Z those imply instead of full blue.

#include <cstdint>
#include <span>

namespace lumenpull {

// The blue of a normal whose red and green are the stored X and Y (0 to 255
// for -1 to 1): round(255 × (z + 1) / 2) with z = sqrt(max(0, 1 − x² − y²)).
uint8_t reconstructedZ(uint8_t red, uint8_t green);

// Sets the blue of every blue, green, red pixel of `pixels` (3 bytes each; a
// trailing part pixel is left alone) to reconstructedZ of its red and green.
void reconstructZ(std::span<uint8_t> pixels);

}  // namespace lumenpull
