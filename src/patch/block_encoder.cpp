#include "patch/block_encoder.h"

#include <squish.h>

#include "bytes/little_endian.h"

namespace lumenpull {
namespace {

// libsquish's range fit: its cluster fits are about 2 dB better on colour
// blocks but 40 to 50 times slower, too slow to put back a whole game's
// edited textures in a minute (docs/performance.md has the figures).
constexpr int kQuality = squish::kColourRangeFit;

void store16(uint8_t* p, uint32_t value) {
    p[0] = static_cast<uint8_t>(value);
    p[1] = static_cast<uint8_t>(value >> 8);
}

}  // namespace

uint32_t blockBytesOf(RowKind kind) { return kind == RowKind::Bc1 ? 8 : 16; }

void keepFourColours(std::span<uint8_t, 8> block) {
    const uint32_t c0 = loadLittleEndian16(block.data());
    const uint32_t c1 = loadLittleEndian16(block.data() + 2);
    if (c0 > c1) return;
    uint32_t indices = loadLittleEndian32(block.data() + 4);
    if (c0 == c1) {
        indices = 0;
    } else {
        // Swapping the endpoints swaps indices 0 and 1, and 2 and 3.
        store16(block.data(), c1);
        store16(block.data() + 2, c0);
        indices ^= 0x55555555u;
    }
    for (int i = 0; i < 4; ++i) block[4 + static_cast<size_t>(i)] = static_cast<uint8_t>(indices >> (8 * i));
}

void encodeBlock(RowKind kind, const BlockTarget& target, std::span<uint8_t> block) {
    // libsquish takes red, green, blue, alpha texels.
    squish::u8 rgba[64] = {};
    const uint32_t step = target.bytesPerTexel;
    for (size_t k = 0; k < 16; ++k) {
        const uint8_t* in = target.texels.data() + k * step;
        uint8_t* out = rgba + 4 * k;
        switch (kind) {
            case RowKind::Bc1: out[0] = in[2], out[1] = in[1], out[2] = in[0], out[3] = 255; break;
            case RowKind::Bc3: out[0] = in[2], out[1] = in[1], out[2] = in[0], out[3] = in[3]; break;
            case RowKind::Bc3TwoChannel:
                // Red lives in the colour block, green in the alpha block.
                out[0] = in[2], out[1] = 0, out[2] = 0, out[3] = in[1];
                break;
            default:  // Bc5: red in the first block, green in the second
                out[0] = in[2], out[1] = in[1], out[2] = 0, out[3] = 255;
                break;
        }
    }
    int flags = kQuality;
    if (kind == RowKind::Bc1) {
        flags |= squish::kDxt1;
    } else if (kind == RowKind::Bc5) {
        flags |= squish::kBc5;
    } else {
        flags |= squish::kDxt5;
    }
    squish::CompressMasked(rgba, target.mask, block.data(), flags);
    if (kind == RowKind::Bc3 || kind == RowKind::Bc3TwoChannel) keepFourColours(block.subspan<8, 8>());
}

}  // namespace lumenpull
