#include "decode/normal_z.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace lumenpull {
namespace {

uint8_t computedZ(unsigned red, unsigned green) {
    const double x = red / 127.5 - 1.0;
    const double y = green / 127.5 - 1.0;
    const double z = std::sqrt(std::max(0.0, 1.0 - x * x - y * y));
    return static_cast<uint8_t>(std::lround(255.0 * (z + 1.0) / 2.0));
}

// Every pair of 8-bit channels, computed once: a square root per pixel
// would cost more than decoding the pixel does.
const std::array<uint8_t, 65536>& zTable() {
    static const std::array<uint8_t, 65536> table = [] {
        std::array<uint8_t, 65536> z{};
        for (unsigned red = 0; red < 256; ++red) {
            for (unsigned green = 0; green < 256; ++green) z[red << 8 | green] = computedZ(red, green);
        }
        return z;
    }();
    return table;
}

}  // namespace

uint8_t reconstructedZ(uint8_t red, uint8_t green) { return zTable()[unsigned{red} << 8 | green]; }

void reconstructZ(std::span<uint8_t> pixels) {
    const std::array<uint8_t, 65536>& table = zTable();
    for (std::size_t at = 0; at + 3 <= pixels.size(); at += 3) {
        pixels[at] = table[unsigned{pixels[at + 2]} << 8 | pixels[at + 1]];
    }
}

}  // namespace lumenpull
