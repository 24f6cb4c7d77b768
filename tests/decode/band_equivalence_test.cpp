// The band routines decode blocks their own fast way; here they must agree
// byte for byte with the texel-by-texel definition built from the two block
// routines, over many random blocks (both colour modes, both alpha palettes,
// equal endpoints), widths that are not multiples of 4 and short sources.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "alpha_block.h"
#include "decode/bc_bands.h"
#include "colour_block.h"

namespace lumenpull {
namespace {

// Blue, green, red, alpha of texel k as the block routines define it.
using Texel = std::array<uint8_t, 4>;
using ReferenceBlock = void (*)(const uint8_t* block, std::array<Texel, 16>& texels);

void referenceBc1(const uint8_t* block, std::array<Texel, 16>& texels) {
    const TexelBlock colour = decodeColourBlock(std::span<const uint8_t, 8>(block, 8));
    for (unsigned k = 0; k < 16; ++k) texels[k] = {colour[4 * k + 2], colour[4 * k + 1], colour[4 * k], 0};
}

void referenceBc3(const uint8_t* block, std::array<Texel, 16>& texels) {
    TexelBlock colour = decodeColourBlock(std::span<const uint8_t, 8>(block + 8, 8));
    decodeAlphaBlock(std::span<const uint8_t, 8>(block, 8), colour, 3, 4);
    for (unsigned k = 0; k < 16; ++k) {
        texels[k] = {colour[4 * k + 2], colour[4 * k + 1], colour[4 * k], colour[4 * k + 3]};
    }
}

void referenceBc3TwoChannel(const uint8_t* block, std::array<Texel, 16>& texels) {
    referenceBc3(block, texels);
    for (Texel& t : texels) t = {255, t[3], t[2], 0};
}

void referenceBc5(const uint8_t* block, std::array<Texel, 16>& texels) {
    std::array<uint8_t, 64> channels{};
    decodeAlphaBlock(std::span<const uint8_t, 8>(block, 8), channels, 0, 4);
    decodeAlphaBlock(std::span<const uint8_t, 8>(block + 8, 8), channels, 1, 4);
    for (unsigned k = 0; k < 16; ++k) texels[k] = {255, channels[4 * k + 1], channels[4 * k], 0};
}

// The band by definition: each block's texels placed at their band pixel,
// missing source bytes as zeros, uncovered columns zero.
std::vector<uint8_t> referenceBand(ReferenceBlock decode, std::size_t blockBytes, std::size_t outBytes,
                                   std::span<const uint8_t> source, uint32_t width) {
    const std::size_t rowBytes = std::size_t{width} * outBytes;
    std::vector<uint8_t> band(4 * rowBytes, 0);
    for (std::size_t i = 0; i < width / 4; ++i) {
        std::vector<uint8_t> block(blockBytes, 0);
        for (std::size_t b = 0; b < blockBytes && i * blockBytes + b < source.size(); ++b) {
            block[b] = source[i * blockBytes + b];
        }
        std::array<Texel, 16> texels;
        decode(block.data(), texels);
        for (unsigned k = 0; k < 16; ++k) {
            uint8_t* pixel = &band[(k / 4) * rowBytes + (4 * i + k % 4) * outBytes];
            std::memcpy(pixel, texels[k].data(), outBytes);
        }
    }
    return band;
}

// Random blocks, with endpoints often equal or in either order so that
// every palette mode shows up.
std::vector<uint8_t> randomBlocks(std::size_t blocks, std::size_t blockBytes, std::mt19937& random) {
    std::vector<uint8_t> bytes(blocks * blockBytes);
    for (auto& b : bytes) b = static_cast<uint8_t>(random());
    for (std::size_t i = 0; i < blocks; ++i) {
        for (std::size_t half = 0; half < blockBytes; half += 8) {
            uint8_t* block = &bytes[i * blockBytes + half];
            switch (random() % 4) {
                case 0:  // equal endpoints
                    block[2] = block[0];
                    block[3] = block[1];
                    break;
                case 1:  // all codes the same
                    std::memset(block + 2, static_cast<int>(random() % 2 ? 0xFF : 0x00), 6);
                    break;
                default: break;
            }
        }
    }
    return bytes;
}

struct BandCase {
    const char* name;
    void (*decode)(std::span<const uint8_t>, std::span<uint8_t>, uint32_t);
    ReferenceBlock reference;
    std::size_t blockBytes;
    std::size_t outBytes;
};

const BandCase bandCases[] = {
    {"bc1", decodeBc1Band, referenceBc1, 8, 3},
    {"bc1 baseline", baseline::decodeBc1Band, referenceBc1, 8, 3},
    {"bc3", decodeBc3Band, referenceBc3, 16, 4},
    {"bc3 baseline", baseline::decodeBc3Band, referenceBc3, 16, 4},
    {"bc3 two-channel", decodeBc3TwoChannelBand, referenceBc3TwoChannel, 16, 3},
    {"bc5", decodeBc5Band, referenceBc5, 16, 3},
    {"bc5 baseline", baseline::decodeBc5Band, referenceBc5, 16, 3},
};

TEST(BandEquivalenceTest, RandomBandsMatchTheBlockRoutines) {
    std::mt19937 random(17);
    for (const BandCase& c : bandCases) {
        for (uint32_t width : {4u, 5u, 8u, 11u, 64u, 257u, 1024u}) {
            for (int round = 0; round < 20; ++round) {
                const std::size_t blocks = width / 4;
                std::vector<uint8_t> source = randomBlocks(blocks, c.blockBytes, random);
                // Now and then the source ends early, inside a block.
                if (round % 5 == 4 && !source.empty()) source.resize(random() % source.size());
                std::vector<uint8_t> band(4 * std::size_t{width} * c.outBytes, 0xCD);
                c.decode(source, band, width);
                ASSERT_EQ(band, referenceBand(c.reference, c.blockBytes, c.outBytes, source, width))
                    << c.name << ", width " << width << ", round " << round;
            }
        }
    }
}

TEST(BandEquivalenceTest, EveryEndpointPairOfTheColourBlock) {
    // All 565 endpoint pairs that differ in one channel step, with all four
    // indices, in both orders: covers both modes and every truncation.
    std::vector<uint8_t> source;
    for (uint32_t c0 = 0; c0 < 0x10000; c0 += 37) {
        for (uint32_t c1 : {c0, c0 ^ 0x0001u, c0 ^ 0x0020u, c0 ^ 0x0800u, 0xFFFFu - c0}) {
            const uint8_t block[8] = {static_cast<uint8_t>(c0),
                                      static_cast<uint8_t>(c0 >> 8),
                                      static_cast<uint8_t>(c1),
                                      static_cast<uint8_t>(c1 >> 8),
                                      0xE4,
                                      0x1B,
                                      0x4E,
                                      0xB1};
            source.insert(source.end(), block, block + 8);
        }
    }
    const auto width = static_cast<uint32_t>(source.size() / 8 * 4);
    std::vector<uint8_t> band(4 * std::size_t{width} * 3);
    decodeBc1Band(source, band, width);
    EXPECT_EQ(band, referenceBand(referenceBc1, 8, 3, source, width));
}

TEST(BandEquivalenceTest, EveryAlphaEndpointPair) {
    std::vector<uint8_t> source;
    for (uint32_t a0 = 0; a0 < 256; ++a0) {
        for (uint32_t a1 = 0; a1 < 256; ++a1) {
            // Codes 0 to 7 on the first eight texels, reversed on the rest.
            const uint8_t block[16] = {
                static_cast<uint8_t>(a0), static_cast<uint8_t>(a1), 0x88, 0xC6, 0xFA, 0xAF, 0x1D, 0x05,
                static_cast<uint8_t>(a1), static_cast<uint8_t>(a0), 0x88, 0xC6, 0xFA, 0xAF, 0x1D, 0x05};
            source.insert(source.end(), block, block + 16);
        }
    }
    const auto width = static_cast<uint32_t>(source.size() / 16 * 4);
    std::vector<uint8_t> bc5(4 * std::size_t{width} * 3);
    decodeBc5Band(source, bc5, width);
    EXPECT_EQ(bc5, referenceBand(referenceBc5, 16, 3, source, width));
    std::vector<uint8_t> bc3(4 * std::size_t{width} * 4);
    decodeBc3Band(source, bc3, width);
    EXPECT_EQ(bc3, referenceBand(referenceBc3, 16, 4, source, width));
}

}  // namespace
}  // namespace lumenpull
