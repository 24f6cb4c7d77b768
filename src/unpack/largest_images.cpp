#include "unpack/largest_images.h"

#include <cstring>

namespace lumenpull {

std::optional<LargestImages> largestImagesIn(uint64_t length, const UnpackParameters& p) {
    const uint64_t count = p.imageCount;
    if (count == 0) {
        return std::nullopt;  // no faces or frames: nothing to keep, nothing to divide by
    }
    const uint64_t imageSize = largestImageSize(p);
    if (imageSize == 0) {
        // Images of no bytes (a zero width or height): there is nothing to
        // pick out, and keeping "all of them" would empty the data, so the
        // writers would see no image at all. The data stays for the writers,
        // which write a header-only file for each image it reaches.
        return std::nullopt;
    }
    const uint64_t imagesSize = imageSize * count;
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
    return LargestImages{count, imageSize, imageSize + rest, p.layoutWord == 0 ? 0 : rest};
}

std::span<uint8_t> gatherLargestImages(std::span<uint8_t> data, const UnpackParameters& p) {
    const auto kept = largestImagesIn(data.size(), p);
    if (!kept) return data;
    // The first image stays where it is and each later one moves down to
    // follow it: its new place never lies after its old one, and never on an
    // image not yet moved.
    // Every offset and size lies within data, so each fits size_t.
    const auto imageSize = static_cast<size_t>(kept->imageSize);
    const std::span<uint8_t> images =
        data.subspan(static_cast<size_t>(kept->offset), static_cast<size_t>(kept->count * kept->imageSize));
    for (uint64_t k = 1; k < kept->count; ++k) {
        std::memmove(images.data() + k * imageSize, data.data() + kept->offset + k * kept->stride, imageSize);
    }
    return images;
}

}  // namespace lumenpull
