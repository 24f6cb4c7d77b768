#include "image/colour_block.h"

namespace lumenpull {

namespace {

struct Colour {
    uint32_t red, green, blue, alpha;
};

Colour expand565(uint32_t c) {
    const uint32_t r5 = (c >> 11) & 0x1F;
    const uint32_t g6 = (c >> 5) & 0x3F;
    const uint32_t b5 = c & 0x1F;
    return {(r5 << 3) | (r5 >> 2), (g6 << 2) | (g6 >> 4), (b5 << 3) | (b5 >> 2), 255};
}

}  // namespace

TexelBlock decodeColourBlock(std::span<const uint8_t, 8> block) {
    const uint32_t c0 = block[0] | (uint32_t{block[1]} << 8);
    const uint32_t c1 = block[2] | (uint32_t{block[3]} << 8);
    const uint32_t indices = block[4] | (uint32_t{block[5]} << 8) | (uint32_t{block[6]} << 16) |
                             (uint32_t{block[7]} << 24);

    Colour palette[4];
    palette[0] = expand565(c0);
    palette[1] = expand565(c1);
    const Colour& p0 = palette[0];
    const Colour& p1 = palette[1];
    if (c0 > c1) {
        palette[2] = {(2 * p0.red + p1.red) / 3, (2 * p0.green + p1.green) / 3, (2 * p0.blue + p1.blue) / 3, 255};
        palette[3] = {(p0.red + 2 * p1.red) / 3, (p0.green + 2 * p1.green) / 3, (p0.blue + 2 * p1.blue) / 3, 255};
    } else {
        palette[2] = {(p0.red + p1.red) / 2, (p0.green + p1.green) / 2, (p0.blue + p1.blue) / 2, 255};
        palette[3] = {0, 0, 0, 0};
    }

    TexelBlock texels;
    for (unsigned k = 0; k < 16; ++k) {
        const Colour& c = palette[(indices >> (2 * k)) & 3];
        texels[4 * k + 0] = static_cast<uint8_t>(c.red);
        texels[4 * k + 1] = static_cast<uint8_t>(c.green);
        texels[4 * k + 2] = static_cast<uint8_t>(c.blue);
        texels[4 * k + 3] = static_cast<uint8_t>(c.alpha);
    }
    return texels;
}

}  // namespace lumenpull
