#include "colour_block.h"

#include "bytes/little_endian.h"
#include "decode/rgb565.h"

namespace lumenpull {

namespace {

struct Colour {
    uint32_t red, green, blue, alpha;
};

Colour opaque(Rgb888 c) { return {c.red, c.green, c.blue, 255}; }

}  // namespace

TexelBlock decodeColourBlock(std::span<const uint8_t, 8> block) {
    const uint32_t c0 = loadLittleEndian16(block.data());
    const uint32_t c1 = loadLittleEndian16(block.data() + 2);
    const uint32_t indices = loadLittleEndian32(block.data() + 4);

    Colour palette[4];
    palette[0] = opaque(expand565(c0));
    palette[1] = opaque(expand565(c1));
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
