#include "patch/block_encoder.h"

#include <gtest/gtest.h>
#include <squish.h>

#include <array>
#include <cmath>
#include <random>
#include <vector>

#include "bytes/little_endian.h"
#include "decode/eight_bit_rows.h"

namespace lumenpull {
namespace {

struct KindCase {
    RowKind kind;
    uint32_t channels;  // of the decoded texels
    int squishFlags;
};

// What this tool's decoder shows of one block, texels in decoded byte order.
std::vector<uint8_t> decodedBlock(const KindCase& c, const uint8_t* block) {
    std::vector<uint8_t> band(16 * c.channels);
    convertRow(c.kind, std::span<const uint8_t>(block, blockBytesOf(c.kind)), band, 4);
    return band;
}

// The alpha values libsquish reads from an 8-byte single-channel block
// (read as the alpha half of a DXT5 block: its own BC5 reading mixes up the
// channels).
std::array<uint8_t, 16> meantChannel(const uint8_t* half) {
    uint8_t dxt5[16] = {};
    std::copy(half, half + 8, dxt5);
    uint8_t rgba[64];
    squish::Decompress(rgba, dxt5, squish::kDxt5);
    std::array<uint8_t, 16> values;
    for (int k = 0; k < 16; ++k) values[k] = rgba[4 * k + 3];
    return values;
}

// The block as libsquish reads it, in the decoder's byte order and channels.
std::vector<uint8_t> meantBlock(const KindCase& c, const uint8_t* block) {
    uint8_t rgba[64];
    if (c.kind == RowKind::Bc5) {
        const auto red = meantChannel(block), green = meantChannel(block + 8);
        for (int k = 0; k < 16; ++k) rgba[4 * k] = red[k], rgba[4 * k + 1] = green[k];
    } else {
        squish::Decompress(rgba, block, c.squishFlags);
    }
    std::vector<uint8_t> texels(16 * c.channels);
    for (int k = 0; k < 16; ++k) {
        const uint8_t* in = rgba + 4 * k;
        uint8_t* out = texels.data() + k * c.channels;
        switch (c.kind) {
            case RowKind::Bc1: out[0] = in[2], out[1] = in[1], out[2] = in[0]; break;
            case RowKind::Bc3: out[0] = in[2], out[1] = in[1], out[2] = in[0], out[3] = in[3]; break;
            case RowKind::Bc3TwoChannel: out[0] = 255, out[1] = in[3], out[2] = in[0]; break;
            default: out[0] = 255, out[1] = in[1], out[2] = in[0]; break;
        }
    }
    return texels;
}

// Random blocks of every kind, flat ones and ones of two colours among them
// (where an encoder likes equal or swapped endpoints), decode by this tool
// as libsquish meant them: the two differ only in rounding.
TEST(BlockEncoder, BlocksDecodeAsTheEncoderMeantThem) {
    const KindCase cases[] = {{RowKind::Bc1, 3, squish::kDxt1},
                              {RowKind::Bc3, 4, squish::kDxt5},
                              {RowKind::Bc3TwoChannel, 3, squish::kDxt5},
                              {RowKind::Bc5, 3, squish::kBc5}};
    std::mt19937 random(27);
    for (const KindCase& c : cases) {
        for (int trial = 0; trial < 300; ++trial) {
            BlockTarget target;
            target.bytesPerTexel = c.channels;
            const int style = trial % 3;  // random, flat, two colours
            std::array<uint8_t, 4> a{}, b{};
            for (auto& v : a) v = static_cast<uint8_t>(random());
            for (auto& v : b) v = static_cast<uint8_t>(random());
            for (uint32_t k = 0; k < 16; ++k) {
                for (uint32_t ch = 0; ch < c.channels; ++ch) {
                    const uint8_t v = style == 0   ? static_cast<uint8_t>(random())
                                      : style == 1 ? a[ch]
                                                   : ((k * 7) % 3 == 0 ? a[ch] : b[ch]);
                    target.texels[k * c.channels + ch] = v;
                }
            }
            uint8_t block[16];
            encodeBlock(c.kind, target, std::span<uint8_t>(block, blockBytesOf(c.kind)));
            const std::vector<uint8_t> shown = decodedBlock(c, block);
            const std::vector<uint8_t> meant = meantBlock(c, block);
            for (size_t i = 0; i < shown.size(); ++i) {
                ASSERT_LE(std::abs(shown[i] - meant[i]), 2)
                    << "kind " << static_cast<int>(c.kind) << " trial " << trial << " value " << i;
            }
        }
    }
}

TEST(BlockEncoder, ColourBlocksAreKeptInFourColourForm) {
    struct Case {
        uint16_t c0, c1;
        uint32_t indices;
        uint16_t wantC0, wantC1;
        uint32_t wantIndices;
    };
    const Case cases[] = {
        {0xF800, 0x001F, 0x1B1B1B1B, 0xF800, 0x001F, 0x1B1B1B1B},  // already four colours
        {0x001F, 0xF800, 0x00000000, 0xF800, 0x001F, 0x55555555},  // swapped: 0 and 1 trade places
        {0x001F, 0xF800, 0xE4E4E4E4, 0xF800, 0x001F, 0xB1B1B1B1},  // and so do 2 and 3
        {0x1234, 0x1234, 0xFFFFFFFF, 0x1234, 0x1234, 0x00000000},  // equal: every texel the one colour
    };
    for (const Case& c : cases) {
        uint8_t block[8] = {static_cast<uint8_t>(c.c0), static_cast<uint8_t>(c.c0 >> 8), static_cast<uint8_t>(c.c1),
                            static_cast<uint8_t>(c.c1 >> 8)};
        for (int i = 0; i < 4; ++i) block[4 + i] = static_cast<uint8_t>(c.indices >> (8 * i));
        keepFourColours(std::span<uint8_t, 8>(block, 8));
        EXPECT_EQ(loadLittleEndian16(block), c.wantC0);
        EXPECT_EQ(loadLittleEndian16(block + 2), c.wantC1);
        EXPECT_EQ(loadLittleEndian32(block + 4), c.wantIndices) << std::hex << c.indices;
    }
}

}  // namespace
}  // namespace lumenpull
