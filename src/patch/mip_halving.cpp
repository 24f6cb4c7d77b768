#include "patch/mip_halving.h"

#include <algorithm>
#include <cstddef>

namespace lumenpull {

Image halved(const Image& image) {
    const uint32_t width = image.shape.width;
    const uint32_t height = image.shape.height;
    const uint32_t channels = image.shape.channels();
    Image out;
    out.shape = {std::max(width / 2, 1u), std::max(height / 2, 1u), image.shape.layout};
    const bool floats = image.shape.layout == PixelLayout::RgbFloat;
    if (floats) {
        out.floats.resize(static_cast<size_t>(out.shape.values()));
    } else {
        out.bytes.resize(static_cast<size_t>(out.shape.values()));
    }
    for (uint32_t y = 0; y < out.shape.height; ++y) {
        const uint32_t y0 = std::min(2 * y, height - 1), y1 = std::min(2 * y + 1, height - 1);
        for (uint32_t x = 0; x < out.shape.width; ++x) {
            const uint32_t x0 = std::min(2 * x, width - 1), x1 = std::min(2 * x + 1, width - 1);
            const size_t corners[4] = {(size_t{y0} * width + x0) * channels, (size_t{y0} * width + x1) * channels,
                                       (size_t{y1} * width + x0) * channels, (size_t{y1} * width + x1) * channels};
            const size_t to = (size_t{y} * out.shape.width + x) * channels;
            for (uint32_t c = 0; c < channels; ++c) {
                if (floats) {
                    float sum = 0;
                    for (size_t at : corners) sum += image.floats[at + c];
                    out.floats[to + c] = sum / 4;
                } else {
                    uint32_t sum = 2;
                    for (size_t at : corners) sum += image.bytes[at + c];
                    out.bytes[to + c] = static_cast<uint8_t>(sum / 4);
                }
            }
        }
    }
    return out;
}

}  // namespace lumenpull
