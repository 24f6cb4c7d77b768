#include "unpack/unpack_parameters.h"

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

}  // namespace lumenpull
