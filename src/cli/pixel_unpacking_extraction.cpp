#include <algorithm>

#include "cli/pixel_unpacking.h"

namespace lumenpull {

std::optional<std::vector<uint8_t>> largestImagesOf(std::span<const uint8_t> data, const UnpackParameters& p) {
    const uint64_t count = p.imageCount;
    if (count == 0) {
        return std::nullopt;  // no faces or frames: nothing to keep, nothing to divide by
    }
    const uint64_t imageSize = largestImageSize(p);
    const uint64_t imagesSize = imageSize * count;
    const uint64_t length = data.size();
    if (length < imagesSize) {
        // Too short for the largest images alone: left as it is for the
        // writers, which write what exists and fill the rest with zeros.
        return std::nullopt;
    }
    const uint64_t rest = (length - imagesSize) / count;
    if (rest == 0) {
        return std::nullopt;  // no smaller levels (extra bytes fewer than the image count stay)
    }
    // Each face or frame is a block of its largest image and its smaller
    // levels; the layout word says which end of the block the image is at.
    const uint64_t offsetInBlock = p.layoutWord == 0 ? 0 : rest;
    std::vector<uint8_t> largest;
    largest.reserve(imagesSize);
    for (uint64_t k = 0; k < count; ++k) {
        const auto from = data.subspan(k * (imageSize + rest) + offsetInBlock, imageSize);
        largest.insert(largest.end(), from.begin(), from.end());
    }
    return largest;
}

void extractLargestImages(std::vector<uint8_t>& pixelData, const UnpackParameters& p) {
    if (auto largest = largestImagesOf(pixelData, p)) pixelData = std::move(*largest);
}

}  // namespace lumenpull
