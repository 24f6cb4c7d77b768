#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "alpha_block.h"
#include "decode/bc_bands.h"
#include "colour_block.h"

namespace lumenpull {
namespace {

std::array<uint8_t, 8> colourBlock(uint16_t c0, uint16_t c1, uint32_t indices) {
    return {static_cast<uint8_t>(c0),
            static_cast<uint8_t>(c0 >> 8),
            static_cast<uint8_t>(c1),
            static_cast<uint8_t>(c1 >> 8),
            static_cast<uint8_t>(indices),
            static_cast<uint8_t>(indices >> 8),
            static_cast<uint8_t>(indices >> 16),
            static_cast<uint8_t>(indices >> 24)};
}

std::array<uint8_t, 8> alphaBlock(uint8_t a0, uint8_t a1, const std::array<uint8_t, 16>& codes) {
    uint64_t bits = 0;
    for (unsigned k = 0; k < 16; ++k) bits |= uint64_t{codes[k]} << (3 * k);
    std::array<uint8_t, 8> block{a0, a1};
    for (unsigned b = 0; b < 6; ++b) block[2 + b] = static_cast<uint8_t>(bits >> (8 * b));
    return block;
}

std::array<uint8_t, 4> texel(const TexelBlock& texels, unsigned k) {
    return {texels[4 * k], texels[4 * k + 1], texels[4 * k + 2], texels[4 * k + 3]};
}

using Rgba = std::array<uint8_t, 4>;

// Texels 0 to 3 take indices 0, 1, 2 and 3.
constexpr uint32_t IndicesZeroToThree = 0b11100100;

TEST(ColourBlockTest, FourColourModeInterpolatesInThirdsTruncating) {
    // Red endpoints 255 (0xF800) and 8 (0x0800).
    const TexelBlock texels = decodeColourBlock(colourBlock(0xF800, 0x0800, IndicesZeroToThree));
    EXPECT_EQ(texel(texels, 0), (Rgba{255, 0, 0, 255}));
    EXPECT_EQ(texel(texels, 1), (Rgba{8, 0, 0, 255}));
    EXPECT_EQ(texel(texels, 2), (Rgba{172, 0, 0, 255}));
    EXPECT_EQ(texel(texels, 3), (Rgba{90, 0, 0, 255}));
    EXPECT_EQ(texel(texels, 15), (Rgba{255, 0, 0, 255}));
}

TEST(ColourBlockTest, ThreeColourModeWhenFirstEndpointIsNotGreater) {
    const TexelBlock swapped = decodeColourBlock(colourBlock(0x0800, 0xF800, IndicesZeroToThree));
    EXPECT_EQ(texel(swapped, 2), (Rgba{131, 0, 0, 255}));
    EXPECT_EQ(texel(swapped, 3), (Rgba{0, 0, 0, 0}));

    // Equal endpoints count as three-colour mode as well.
    const TexelBlock equal = decodeColourBlock(colourBlock(0xFFFF, 0xFFFF, 0xFFFFFFFF));
    for (unsigned k = 0; k < 16; ++k) EXPECT_EQ(texel(equal, k), (Rgba{0, 0, 0, 0}));
}

TEST(ColourBlockTest, ExpandsEach565ChannelByRepeatingItsTopBits) {
    // r5 = 0b10000, g6 = 0b100001, b5 = 0b00111.
    const uint16_t c = (0b10000 << 11) | (0b100001 << 5) | 0b00111;
    const TexelBlock texels = decodeColourBlock(colourBlock(c, 0, 0));
    EXPECT_EQ(texel(texels, 0), (Rgba{0b10000100, 0b10000110, 0b00111001, 255}));
}

TEST(AlphaBlockTest, BothPalettesTruncate) {
    const std::array<uint8_t, 16> codes{0, 1, 2, 3, 4, 5, 6, 7, 0, 1, 2, 3, 4, 5, 6, 7};
    struct Case {
        uint8_t a0, a1;
        std::array<uint8_t, 8> values;
    };
    const Case cases[] = {
        {200, 10, {200, 10, 172, 145, 118, 91, 64, 37}},  // sevenths
        {10, 200, {10, 200, 48, 86, 124, 162, 0, 255}},   // fifths, then 0 and 255
        {77, 77, {77, 77, 77, 77, 77, 77, 0, 255}},       // equal endpoints use the fifths palette
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> out(1 + 15 * 4 + 2, 0xEE);
        decodeAlphaBlock(alphaBlock(c.a0, c.a1, codes), out, 1, 4);
        for (unsigned k = 0; k < 16; ++k) {
            EXPECT_EQ(out[1 + 4 * k], c.values[codes[k]]) << "a0 " << int(c.a0) << " texel " << k;
            if (k < 15) {
                EXPECT_EQ(out[2 + 4 * k], 0xEE) << "between texels";
            }
        }
        EXPECT_EQ(out[0], 0xEE);
        EXPECT_EQ(out.back(), 0xEE);
    }
}

TEST(AlphaBlockTest, RefusesADestinationThatDoesNotReachTheLastTexel) {
    std::vector<uint8_t> out(3 + 15 * 4);
    EXPECT_THROW(decodeAlphaBlock(alphaBlock(0, 0, {}), out, 3, 4), std::invalid_argument);
}

// A 16-byte block: alpha (or first channel) block, then colour (or second channel) block.
std::vector<uint8_t> join(const std::array<uint8_t, 8>& first, const std::array<uint8_t, 8>& second) {
    std::vector<uint8_t> block(first.begin(), first.end());
    block.insert(block.end(), second.begin(), second.end());
    return block;
}

std::vector<uint8_t> pixelAt(const std::vector<uint8_t>& band, uint32_t width, uint32_t bytes, uint32_t x, uint32_t y) {
    const auto at = band.begin() + (y * width + x) * bytes;
    return {at, at + bytes};
}

TEST(BandTest, SecondBlockFillsColumnsFourToSeven) {
    std::vector<uint8_t> source;
    for (const auto& block : {colourBlock(0xF800, 0xF800, 0), colourBlock(0x001F, 0x001F, 0)}) {
        source.insert(source.end(), block.begin(), block.end());
    }
    std::vector<uint8_t> band(8 * 4 * 3);
    decodeBc1Band(source, band, 8);
    for (uint32_t y = 0; y < 4; ++y) {
        for (uint32_t x = 0; x < 8; ++x) {
            const std::vector<uint8_t> expected =
                x < 4 ? std::vector<uint8_t>{0, 0, 255} : std::vector<uint8_t>{255, 0, 0};
            EXPECT_EQ(pixelAt(band, 8, 3, x, y), expected) << x << "," << y;
        }
    }
}

TEST(BandTest, TexelOrderWithinABlockIsRowByRow) {
    // Texel 5 (row 1, column 1) takes index 1, every other texel index 0.
    std::vector<uint8_t> band(4 * 4 * 3);
    const auto block = colourBlock(0xF800, 0x001F, 1u << 10);
    decodeBc1Band(block, band, 4);
    EXPECT_EQ(pixelAt(band, 4, 3, 1, 1), (std::vector<uint8_t>{255, 0, 0}));
    EXPECT_EQ(pixelAt(band, 4, 3, 1, 0), (std::vector<uint8_t>{0, 0, 255}));
    EXPECT_EQ(pixelAt(band, 4, 3, 0, 1), (std::vector<uint8_t>{0, 0, 255}));
}

TEST(BandTest, Bc3KeepsThreeColourModeAndTakesAlphaFromItsAlphaBlock) {
    std::array<uint8_t, 16> codes{};
    codes[1] = 1;
    // Colour endpoints c0 < c1: index 3 is black here (a four-colour decoder would give a mix).
    const auto block = join(alphaBlock(77, 200, codes), colourBlock(0x0800, 0xF800, 0xFFFFFFFC));

    std::vector<uint8_t> band(4 * 4 * 4);
    decodeBc3Band(block, band, 4);
    EXPECT_EQ(pixelAt(band, 4, 4, 0, 0), (std::vector<uint8_t>{0, 0, 8, 77}));   // index 0, alpha code 0
    EXPECT_EQ(pixelAt(band, 4, 4, 1, 0), (std::vector<uint8_t>{0, 0, 0, 200}));  // index 3, alpha code 1
    EXPECT_EQ(pixelAt(band, 4, 4, 2, 0), (std::vector<uint8_t>{0, 0, 0, 77}));

    std::vector<uint8_t> twoChannel(4 * 4 * 3);
    decodeBc3TwoChannelBand(block, twoChannel, 4);
    EXPECT_EQ(pixelAt(twoChannel, 4, 3, 0, 0), (std::vector<uint8_t>{255, 77, 8}));
    EXPECT_EQ(pixelAt(twoChannel, 4, 3, 1, 0), (std::vector<uint8_t>{255, 200, 0}));
}

TEST(BandTest, Bc5WritesBlueFullThenSecondThenFirstChannel) {
    const auto block = join(alphaBlock(11, 11, {}), alphaBlock(22, 22, {}));
    std::vector<uint8_t> band(4 * 4 * 3);
    decodeBc5Band(block, band, 4);
    for (uint32_t k = 0; k < 16; ++k) EXPECT_EQ(pixelAt(band, 4, 3, k % 4, k / 4), (std::vector<uint8_t>{255, 22, 11}));
}

TEST(BandTest, Block8CopiesTheStoredBandAndZeroesTheRest) {
    std::vector<uint8_t> source(4 * 4 + 5);
    for (std::size_t i = 0; i < source.size(); ++i) source[i] = static_cast<uint8_t>(i + 1);
    std::vector<uint8_t> band(4 * 16, 0xAA);
    copyBlock8Band(source, band, 4);
    for (std::size_t i = 0; i < band.size(); ++i) EXPECT_EQ(band[i], i < 16 ? i + 1 : 0) << i;
}

struct BandRoutine {
    const char* name;
    std::function<void(std::span<const uint8_t>, std::span<uint8_t>, uint32_t)> decode;
    std::size_t blockBytes;
    std::size_t outputBytes;  // per pixel of each of the band's four rows
};

const BandRoutine bandRoutines[] = {
    {"bc1", decodeBc1Band, 8, 3},
    {"bc3", decodeBc3Band, 16, 4},
    {"bc3 two-channel", decodeBc3TwoChannelBand, 16, 3},
    {"bc5", decodeBc5Band, 16, 3},
    {"block8", copyBlock8Band, 16, 4},
};

TEST(BandTest, ShortSourceDecodesAsIfPaddedWithZeros) {
    const uint32_t width = 12;  // three blocks
    for (const BandRoutine& routine : bandRoutines) {
        std::vector<uint8_t> full(3 * routine.blockBytes, 0);
        for (std::size_t i = 0; i < full.size(); ++i) full[i] = static_cast<uint8_t>(37 * i + 11);
        // Cut inside the second block: its tail and the whole third block are missing.
        const std::size_t kept = routine.blockBytes + 5;
        std::vector<uint8_t> padded(full.begin(), full.begin() + kept);
        padded.resize(full.size(), 0);

        const std::size_t bandBytes = width * 4 * routine.outputBytes;
        std::vector<uint8_t> fromShort(bandBytes + 7, 0xCD);
        std::vector<uint8_t> fromPadded(bandBytes + 7, 0xCD);
        routine.decode(std::span(full).first(kept), fromShort, width);
        routine.decode(padded, fromPadded, width);
        EXPECT_EQ(fromShort, fromPadded) << routine.name;
        for (std::size_t i = bandBytes; i < fromShort.size(); ++i) EXPECT_EQ(fromShort[i], 0xCD) << routine.name;

        // No source at all reads as all zeros, the same as a zero-filled band.
        std::vector<uint8_t> fromNothing(bandBytes, 0xCD);
        std::vector<uint8_t> zeros(full.size(), 0);
        routine.decode({}, fromNothing, width);
        routine.decode(zeros, fromPadded, width);
        EXPECT_EQ(fromNothing, std::vector<uint8_t>(fromPadded.begin(), fromPadded.begin() + bandBytes))
            << routine.name;
    }
}

TEST(BandTest, ColumnsNoBlockReachesAreZero) {
    for (const BandRoutine& routine : bandRoutines) {
        if (std::string(routine.name) == "block8") continue;  // copies bytes: it has no columns
        for (const uint32_t width : {3u, 6u}) {
            std::vector<uint8_t> source(2 * routine.blockBytes, 0xFF);
            std::vector<uint8_t> band(width * 4 * routine.outputBytes, 0xAA);
            routine.decode(source, band, width);
            for (uint32_t y = 0; y < 4; ++y) {
                for (uint32_t x = width / 4 * 4; x < width; ++x) {
                    EXPECT_EQ(pixelAt(band, width, static_cast<uint32_t>(routine.outputBytes), x, y),
                              std::vector<uint8_t>(routine.outputBytes, 0))
                        << routine.name << " width " << width << " at " << x << "," << y;
                }
            }
        }
    }
}

TEST(BandTest, RefusesABandBufferSmallerThanFourRows) {
    for (const BandRoutine& routine : bandRoutines) {
        std::vector<uint8_t> source(routine.blockBytes);
        std::vector<uint8_t> band(4 * 4 * routine.outputBytes - 1, 0xAA);
        EXPECT_THROW(routine.decode(source, band, 4), std::invalid_argument) << routine.name;
        EXPECT_EQ(band, std::vector<uint8_t>(band.size(), 0xAA)) << routine.name;
    }
}

}  // namespace
}  // namespace lumenpull
