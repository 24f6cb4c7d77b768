#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace lumenpull {

// Expands one 8-byte single-channel block (two endpoints, sixteen 3-bit codes)
// and writes texel k at offset + k × stride of the destination, which must
// reach that far. With a0 > a1 the codes interpolate in sevenths, otherwise in
// fifths with 0 and 255 as the last two values. All divisions truncate.
void decodeAlphaBlock(std::span<const uint8_t, 8> block, std::span<uint8_t> destination, std::size_t offset,
                      std::size_t stride);

}  // namespace lumenpull
