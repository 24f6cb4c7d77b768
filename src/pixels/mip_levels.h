#pragma once

#include <cstdint>

namespace lumenpull {

// The width and height of mip level `level` (0 is the largest image): each
// level half the one before, rounded down, never less than one pixel.
struct MipLevel {
    uint32_t width;
    uint32_t height;
};
MipLevel mipLevel(uint32_t width, uint32_t height, uint32_t level);

// Levels from width × height down to 1 × 1, both included.
uint32_t fullChainLevels(uint32_t width, uint32_t height);

// Whether a format of this many stored bits per pixel is stored in 4 × 4 blocks.
constexpr bool storedInBlocks(uint8_t bitsPerPixel) { return bitsPerPixel <= 8; }

// Stored bytes of mip level `level` of a width × height image. The largest
// image takes width × height × bits / 8 bytes, as everywhere else; a smaller
// level of a block format takes whole 4 × 4 blocks, rounded up (so at least
// one block), and of any other format width × height × bits / 8.
uint64_t storedLevelBytes(uint32_t width, uint32_t height, uint8_t bitsPerPixel, uint32_t level);

}  // namespace lumenpull
