#include "patch/plane_encoding.h"

#include <cstring>
#include <stdexcept>

namespace lumenpull {
namespace {

uint8_t delta(uint8_t value, uint8_t& previous) {
    const auto d = static_cast<uint8_t>(value - previous);
    previous = value;
    return d;
}

uint16_t load16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

void store16(uint8_t* p, uint16_t value) {
    p[0] = static_cast<uint8_t>(value);
    p[1] = static_cast<uint8_t>(value >> 8);
}

}  // namespace

size_t planeBytesOf(const PlaneLayout& layout) {
    const size_t n = layout.elements;
    switch (layout.kind) {
        case PlaneKind::Colour: return n * (layout.alpha ? 4 : 3);
        case PlaneKind::Grey: return n * (layout.alpha ? 2 : 1);
        case PlaneKind::AlphaOnly: return n;
        case PlaneKind::Block: return n * (layout.alpha ? 16 : 8);
    }
    return 0;
}

void encodePlaneElements(std::span<const uint8_t> decoded, const PlaneLayout& layout, std::span<uint8_t> planes) {
    const size_t n = layout.elements;
    if (planes.size() < planeBytesOf(layout) || decoded.size() < n * elementSizeOf(layout)) {
        throw std::invalid_argument("plane buffers smaller than their elements");
    }
    uint8_t* out = planes.data();
    if (layout.kind == PlaneKind::Block) {
        const size_t size = elementSizeOf(layout);
        uint16_t e0 = 0, e1 = 0;
        for (size_t i = 0; i < n; ++i) {
            const uint8_t* block = decoded.data() + i * size;
            if (layout.alpha) {
                std::memcpy(out + 8 * n + 8 * i, block, 8);
                block += 8;
            }
            const uint16_t first = load16(block), second = load16(block + 2);
            store16(out + 2 * i, static_cast<uint16_t>(first - e0));
            store16(out + 2 * n + 2 * i, static_cast<uint16_t>(second - e1));
            std::memcpy(out + 4 * n + 4 * i, block + 4, 4);
            e0 = first;
            e1 = second;
        }
        return;
    }
    uint8_t red = 0, green = 0, blue = 0;
    uint8_t alpha = layout.alpha ? 255 : 0;
    for (size_t i = 0; i < n; ++i) {
        const uint8_t* pixel = decoded.data() + 4 * i;  // blue, green, red, alpha
        switch (layout.kind) {
            case PlaneKind::Colour:
                out[i] = delta(pixel[2], red);
                out[n + i] = delta(pixel[1], green);
                out[2 * n + i] = delta(pixel[0], blue);
                if (layout.alpha) out[3 * n + i] = delta(pixel[3], alpha);
                break;
            case PlaneKind::Grey:
                out[i] = delta(pixel[0], red);
                if (layout.alpha) out[n + i] = delta(pixel[3], alpha);
                break;
            default:  // alpha only
                out[i] = delta(pixel[3], alpha);
                break;
        }
    }
}

}  // namespace lumenpull
