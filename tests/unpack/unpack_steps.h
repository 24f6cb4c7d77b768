#pragma once

// The unpacking steps one at a time, on a byte vector that each step
// replaces, so a test can look at one step alone or compare the steps run
// one after another with unpackedPixels, which runs them in one go.

#include <cstdint>
#include <vector>

#include "pixels/texture_flags.h"
#include "unpack/inflation.h"
#include "unpack/largest_images.h"
#include "unpack/pixel_unpacking.h"
#include "unpack/planes.h"

namespace lumenpull::test {

// Inflation; returns whether the data was replaced.
inline bool inflatePixelData(std::vector<uint8_t>& pixelData, const UnpackParameters& p) {
    BufferPool buffers;
    const auto inflated = inflatedPixelData(pixelData, p, buffers);
    if (!inflated) return false;
    pixelData.assign(inflated->span().begin(), inflated->span().end());
    return true;
}

// Plane decoding, when the texture is flagged plane-coded and the data is
// not empty. Bytes after the last whole element come out as 0.
inline void decodePlanes(std::vector<uint8_t>& pixelData, const UnpackParameters& p) {
    if ((p.textureFlags & PlaneCoded) == 0 || pixelData.empty()) return;
    const PlaneLayout layout = planeLayoutFor(p.pixelFormat, pixelData.size());
    std::vector<uint8_t> decoded(layout.decodedSize);
    decodePlaneElements(pixelData, layout, decoded);
    pixelData = std::move(decoded);
}

// Largest-image extraction.
inline void extractLargestImages(std::vector<uint8_t>& pixelData, const UnpackParameters& p) {
    const std::span<uint8_t> images = gatherLargestImages(pixelData, p);
    const auto offset = static_cast<size_t>(images.data() - pixelData.data());
    const size_t length = images.size();
    pixelData.erase(pixelData.begin(), pixelData.begin() + static_cast<std::ptrdiff_t>(offset));
    pixelData.resize(length);
}

// All three through unpackedPixels, the images copied back into the vector.
inline void unpackPixelData(std::vector<uint8_t>& pixelData, const UnpackParameters& p) {
    BufferPool buffers;
    const UnpackedPixels unpacked = unpackedPixels(std::move(pixelData), p, buffers);
    pixelData.assign(unpacked.images().begin(), unpacked.images().end());
}

}  // namespace lumenpull::test
