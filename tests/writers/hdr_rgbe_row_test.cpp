// Stored rows go straight to RGBE four pixels at a time: every pixel must
// come out as decodeHdrPixel and encodeRgbe make it, wherever it falls in a
// row, and the end of a row (an odd width, a source cut short) as well.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <random>
#include <span>
#include <stdexcept>
#include <vector>

#include "writers/hdr_rgbe_row.h"
#include "decode/hdr_row.h"
#include "writers/rgbe.h"

namespace lumenpull {
namespace {

// The RGBE bytes of pixel x of a stored row, pixel by pixel; bytes past
// the end of the source read as zero.
std::array<uint8_t, 4> expectedPixel(std::span<const uint8_t> source, std::size_t x, bool sharedExponent) {
    std::array<uint8_t, 4> stored{};
    for (std::size_t b = 0; b < 4; ++b) {
        if (4 * x + b < source.size()) stored[b] = source[4 * x + b];
    }
    const LinearRgb v = decodeHdrPixel(stored, sharedExponent);
    return encodeRgbe(v.red, v.green, v.blue);
}

// Encodes `width` pixels of the source and checks each against the
// pixel-by-pixel bytes, and that nothing past the row is written.
void expectRow(std::span<const uint8_t> source, uint32_t width, bool sharedExponent) {
    std::vector<uint8_t> out(4 * std::size_t{width} + 8, 0xEE);
    HdrRgbeRowEncoder(sharedExponent).encodeRow(source, out, width);
    for (std::size_t x = 0; x < width; ++x) {
        const auto expected = expectedPixel(source, x, sharedExponent);
        ASSERT_TRUE(std::equal(expected.begin(), expected.end(), out.begin() + static_cast<std::ptrdiff_t>(4 * x)))
            << "pixel " << x << " of " << width << ", " << source.size() << " source bytes"
            << (sharedExponent ? " (shared exponent)" : " (exponent byte)");
    }
    EXPECT_TRUE(std::all_of(out.end() - 8, out.end(), [](uint8_t b) { return b == 0xEE; })) << "written past the row";
}

std::vector<uint8_t> asBytes(const std::vector<uint32_t>& words) {
    std::vector<uint8_t> bytes;
    for (uint32_t w : words) {
        for (int b = 0; b < 4; ++b) bytes.push_back(static_cast<uint8_t>(w >> (8 * b)));
    }
    return bytes;
}

// Every exponent byte with zero, the largest and mixed mantissas, each
// beside pixels of other exponents, then random pixels.
std::vector<uint8_t> exponentBytePixels() {
    std::vector<uint32_t> words;
    const uint32_t mantissas[] = {0x000000, 0xFFFFFF, 0x0000FF, 0x00FF00, 0xFF0000, 0x010101, 0x7F80FE,
                                  0x000001, 0x0100FF, 0xFEFFFE, 0x123456, 0x808080, 0x400001};
    for (uint32_t e = 0; e < 256; ++e) {
        for (uint32_t m : mantissas) {
            words.push_back(m | e << 24);
            words.push_back((0xFF0000u ^ m) | (255 - e) << 24);
        }
    }
    std::mt19937 random(17);
    for (int i = 0; i < 50000; ++i) words.push_back(static_cast<uint32_t>(random()));
    return asBytes(words);
}

// Every shared exponent with zero, the largest and mixed 9-bit mantissas,
// then random words.
std::vector<uint8_t> sharedExponentPixels() {
    std::vector<uint32_t> words;
    const uint32_t mantissas[] = {0, 0x1FF, 1, 0x100, 0xFF, 0x155, 0x0AA};
    for (uint32_t e = 0; e < 32; ++e) {
        for (uint32_t r : mantissas) {
            for (uint32_t g : mantissas) {
                for (uint32_t b : {0u, 0x1FFu, 0x0ABu}) words.push_back(r | g << 9 | b << 18 | e << 27);
            }
        }
    }
    std::mt19937 random(23);
    for (int i = 0; i < 50000; ++i) words.push_back(static_cast<uint32_t>(random()));
    return asBytes(words);
}

TEST(HdrRgbeRowTest, MatchesDecodeAndEncodePerPixel) {
    for (bool shared : {false, true}) {
        const std::vector<uint8_t> stored = shared ? sharedExponentPixels() : exponentBytePixels();
        const auto width = static_cast<uint32_t>(stored.size() / 4);
        expectRow(stored, width, shared);
        // Shifted by one to three pixels, so that each pixel meets other neighbours in a step.
        for (std::size_t shift = 1; shift < 4; ++shift) {
            expectRow(std::span<const uint8_t>(stored).subspan(4 * shift), width - static_cast<uint32_t>(shift),
                      shared);
        }
    }
}

TEST(HdrRgbeRowTest, RowEndsAndShortSources) {
    for (bool shared : {false, true}) {
        const std::vector<uint8_t> stored = shared ? sharedExponentPixels() : exponentBytePixels();
        const auto row = std::span<const uint8_t>(stored).subspan(4 * 300);
        // Widths around the four-pixel step, a source that ends inside a
        // pixel or well before the row's end, and no source at all.
        for (uint32_t width : {1u, 2u, 3u, 4u, 5u, 7u, 8u, 9u, 63u, 64u, 65u, 131u}) {
            for (std::size_t bytes : {std::size_t{4} * width, std::size_t{4} * width + 3, std::size_t{4} * width - 1,
                                      std::size_t{4} * width - 3, std::size_t{4} * (width / 2) + 2, std::size_t{0}}) {
                expectRow(row.first(bytes), width, shared);
            }
        }
    }
}

TEST(HdrRgbeRowTest, RefusesASmallerOutput) {
    std::vector<uint8_t> stored(64, 0x40);
    std::vector<uint8_t> out(4 * 8 - 1);
    EXPECT_THROW(HdrRgbeRowEncoder(false).encodeRow(stored, out, 8), std::invalid_argument);
}

}  // namespace
}  // namespace lumenpull
