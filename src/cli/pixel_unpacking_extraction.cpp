#include <cstring>

#include "cli/pixel_unpacking.h"

namespace lumenpull {

std::span<uint8_t> gatherLargestImages(std::span<uint8_t> data, const UnpackParameters& p) {
    const uint64_t count = p.imageCount;
    if (count == 0) {
        return data;  // no faces or frames: nothing to keep, nothing to divide by
    }
    const uint64_t imageSize = largestImageSize(p);
    const uint64_t imagesSize = imageSize * count;
    const uint64_t length = data.size();
    if (length < imagesSize) {
        // Too short for the largest images alone: left as it is for the
        // writers, which write what exists and fill the rest with zeros.
        return data;
    }
    const uint64_t rest = (length - imagesSize) / count;
    if (rest == 0) {
        return data;  // no smaller levels (extra bytes fewer than the image count stay)
    }
    // Each face or frame is a block of its largest image and its smaller
    // levels; the layout word says which end of the block the image is at.
    // The first image stays where it is and each later one moves down to
    // follow it: its new place never lies after its old one, and never on an
    // image not yet moved.
    const uint64_t offsetInBlock = p.layoutWord == 0 ? 0 : rest;
    const std::span<uint8_t> images = data.subspan(offsetInBlock, imagesSize);
    for (uint64_t k = 1; k < count; ++k) {
        std::memmove(images.data() + k * imageSize, data.data() + k * (imageSize + rest) + offsetInBlock, imageSize);
    }
    return images;
}

void extractLargestImages(std::vector<uint8_t>& pixelData, const UnpackParameters& p) {
    const std::span<uint8_t> images = gatherLargestImages(pixelData, p);
    const auto offset = static_cast<size_t>(images.data() - pixelData.data());
    const size_t length = images.size();
    pixelData.erase(pixelData.begin(), pixelData.begin() + static_cast<std::ptrdiff_t>(offset));
    pixelData.resize(length);
}

}  // namespace lumenpull
