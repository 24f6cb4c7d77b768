#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace lumenpull {

// Sixteen texels of red, green, blue, alpha; texel k lies in row k / 4 and
// column k mod 4 of its 4x4 block.
using TexelBlock = std::array<uint8_t, 64>;

// Expands one 8-byte colour block (two 565 endpoints, 2-bit indices). When the
// first endpoint is not greater than the second the block is in three-colour
// mode: index 2 is the midpoint and index 3 is transparent black. All
// interpolations truncate.
TexelBlock decodeColourBlock(std::span<const uint8_t, 8> block);

}  // namespace lumenpull
