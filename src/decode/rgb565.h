#pragma once

#include <cstdint>

namespace lumenpull {

struct Rgb888 {
    uint32_t red, green, blue;
};

// A 5-6-5 colour (red in the top bits) as 8-bit channels: each channel's
// bits are repeated into the low bits, so 0 stays 0 and the largest value
// becomes 255.
constexpr Rgb888 expand565(uint32_t colour) {
    const uint32_t r5 = (colour >> 11) & 0x1F;
    const uint32_t g6 = (colour >> 5) & 0x3F;
    const uint32_t b5 = colour & 0x1F;
    return {(r5 << 3) | (r5 >> 2), (g6 << 2) | (g6 >> 4), (b5 << 3) | (b5 >> 2)};
}

static_assert(expand565(0xFFFF).red == 255 && expand565(0xFFFF).green == 255 && expand565(0xFFFF).blue == 255);

}  // namespace lumenpull
