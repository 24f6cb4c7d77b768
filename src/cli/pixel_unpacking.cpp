#include "cli/pixel_unpacking.h"

#include <cmath>

#include "cli/pixel_unpacking_planes.h"

namespace lumenpull {
namespace {

// The stored dimensions multiply as 32-bit integers and wrap, as the files
// were written by a 32-bit program; the wrap is done on unsigned values so
// that it is well defined.
int32_t wrappedPixelCount(const UnpackParameters& p) {
    return static_cast<int32_t>(static_cast<uint32_t>(p.width) * static_cast<uint32_t>(p.height));
}

// Truncation towards zero into an unsigned 32-bit number. Values outside its
// range (hostile dimensions only) saturate instead of being undefined.
uint32_t truncateToUint32(double value) {
    if (!(value > 0.0)) {  // also NaN
        return 0;
    }
    if (value >= 4294967296.0) {
        return UINT32_MAX;
    }
    return static_cast<uint32_t>(value);
}

}  // namespace

uint32_t largestImageSize(const UnpackParameters& p) {
    return truncateToUint32(static_cast<double>(wrappedPixelCount(p)) * (p.bitsPerPixel * 0.125));
}

uint32_t inflationCapacity(const UnpackParameters& p) {
    return truncateToUint32(static_cast<double>(wrappedPixelCount(p)) * (p.bitsPerPixel * 0.125) * 1.5 *
                            static_cast<double>(p.imageCount));
}

void unpackPixelData(std::vector<uint8_t>& pixelData, const UnpackParameters& p) {
    // The three steps in order. Inflated bytes stay in zlib's buffer until a
    // later step has made its own new buffer from them, so that a texture
    // with mip levels is copied once (its largest images), not twice.
    const std::optional<InflatedData> inflated = inflatedPixelData(pixelData, p);
    if (!inflated) {
        decodePlanes(pixelData, p);
        extractLargestImages(pixelData, p);
        return;
    }
    if ((p.textureFlags & kPlaneCodedFlag) != 0 && inflated->length != 0) {
        // What decodePlanes does, reading the planes where zlib left them.
        const PlaneLayout layout = planeLayoutFor(p.pixelFormat, inflated->length);
        std::vector<uint8_t> decoded(layout.decodedSize);
        decodePlaneElements(inflated->span(), layout, decoded);
        pixelData = std::move(decoded);
        extractLargestImages(pixelData, p);
        return;
    }
    if (auto largest = largestImagesOf(inflated->span(), p)) {
        pixelData = std::move(*largest);
    } else {
        pixelData.assign(inflated->bytes.get(), inflated->bytes.get() + inflated->length);
    }
}

}  // namespace lumenpull
