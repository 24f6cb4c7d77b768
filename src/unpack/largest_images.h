#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "unpack/unpack_parameters.h"

namespace lumenpull {

// Where the largest images lie in `length` bytes of unpacked data: `count`
// images of `imageSize` bytes, the first at `offset`, each `stride` after
// the one before. Nothing when the data holds no smaller levels to drop
// (or is too short for the images, or there are no images, or the images
// have no bytes: a zero width or height).
struct LargestImages {
    uint64_t count;
    uint64_t imageSize;
    uint64_t stride;
    uint64_t offset;
};
std::optional<LargestImages> largestImagesIn(uint64_t length, const UnpackParameters& p);

// Keeps only the largest image of each face or frame when the data holds
// smaller mip levels too: moves them together inside `data` and returns
// where they now are (`data` itself when it is left as it is: data shorter
// than the largest images, or an image count of 0).
std::span<uint8_t> gatherLargestImages(std::span<uint8_t> data, const UnpackParameters& p);

}  // namespace lumenpull
