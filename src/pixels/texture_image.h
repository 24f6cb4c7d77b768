#pragma once

#include <cstdint>
#include <span>

#include "pixels/pixel_format.h"

namespace lumenpull {

// The few fields of a texture that the image writers read. The converter
// fills one in from a texture object and its unpacked pixels; the writers
// never see more.
struct TextureImage {
    int32_t width = 0;          // only the low 16 bits are used, unsigned
    int32_t height = 0;         // only the low 16 bits are used, unsigned
    uint32_t textureFlags = 0;  // see texture_flags.h; the writers read TwoChannel
    PixelFormat pixelFormat{};  // after normalisation
    int32_t imageCount = 0;     // 0 or less writes no file
    std::span<const uint8_t> pixelData;
    bool normalZ = false;  // two-channel pictures get the reconstructed Z as blue (8-bit writers)
};

}  // namespace lumenpull
