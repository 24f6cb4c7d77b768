#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "unpack/unpack_parameters.h"

namespace lumenpull {

// A texture's plain images, one after another, and the buffer they lie in:
// the stored bytes, zlib's output or the decoded planes. Nothing is copied
// to make them: smaller mip levels are dropped by moving the largest images
// together inside that buffer, so only pages the steps write are touched.
class UnpackedPixels {
public:
    UnpackedPixels(std::vector<uint8_t> stored, std::unique_ptr<uint8_t[]> made, std::span<uint8_t> images)
        : stored_(std::move(stored)), made_(std::move(made)), images_(images) {}

    std::span<const uint8_t> images() const { return images_; }

private:
    // Moving either owner keeps its bytes where they are, so the view stays valid.
    std::vector<uint8_t> stored_;
    std::unique_ptr<uint8_t[]> made_;
    std::span<uint8_t> images_;
};

// Turns a texture's stored pixel data into its plain images, in three steps
// in this order: inflates zlib data (inflation.h), decodes delta-coded planes
// (planes.h) and keeps only the largest image of every face or frame
// (largest_images.h). Prints nothing.
UnpackedPixels unpackedPixels(std::vector<uint8_t> stored, const UnpackParameters& p);

}  // namespace lumenpull
