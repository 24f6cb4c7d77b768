#pragma once

#include <cstdint>

#include "pixels/pixel_format.h"

namespace lumenpull {

// What the unpacking needs to know about one texture.
struct UnpackParameters {
    int32_t width = 0;
    int32_t height = 0;
    uint32_t textureFlags = 0;  // PlaneCoded: the data is stored as delta-coded planes
    PixelFormat pixelFormat{};  // canonical pixel format
    uint8_t bitsPerPixel = 0;   // stored bits per pixel (4, 8, 24 or 32)
    uint32_t imageCount = 1;    // faces or frames
    uint16_t layoutWord = 0;    // 0: largest mip image first in each face's block; 0x0100 (any other): last
};

// The size of the largest image of one face or frame in bytes, and the
// inflation capacity for all of them (1.5 times as much). Both follow the
// stored 32-bit width × height product (which wraps); results that do not
// fit an unsigned 32-bit number saturate (negative ones give 0).
uint32_t largestImageSize(const UnpackParameters& p);
uint32_t inflationCapacity(const UnpackParameters& p);

}  // namespace lumenpull
