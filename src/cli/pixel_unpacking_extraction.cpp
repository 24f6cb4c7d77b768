#include <algorithm>

#include "cli/pixel_unpacking.h"

namespace lumenpull {

void extractLargestImages(std::vector<uint8_t>& pixelData, const UnpackParameters& p) {
    const uint64_t count = p.imageCount;
    if (count == 0) {
        return;  // no faces or frames: nothing to keep, nothing to divide by
    }
    const uint64_t imageSize = largestImageSize(p);
    const uint64_t imagesSize = imageSize * count;
    const uint64_t length = pixelData.size();
    if (length < imagesSize) {
        // Too short for the largest images alone: left as it is for the
        // writers, which write what exists and fill the rest with zeros.
        return;
    }
    const uint64_t rest = (length - imagesSize) / count;
    if (rest == 0) {
        return;  // no smaller levels (extra bytes fewer than the image count stay)
    }
    // Each face or frame is a block of its largest image and its smaller
    // levels; the layout word says which end of the block the image is at.
    const uint64_t offsetInBlock = p.layoutWord == 0 ? 0 : rest;
    std::vector<uint8_t> largest(imagesSize);
    for (uint64_t k = 0; k < count; ++k) {
        const auto from = pixelData.begin() + static_cast<ptrdiff_t>(k * (imageSize + rest) + offsetInBlock);
        std::copy_n(from, imageSize, largest.begin() + static_cast<ptrdiff_t>(k * imageSize));
    }
    pixelData = std::move(largest);
}

}  // namespace lumenpull
