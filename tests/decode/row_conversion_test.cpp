#include "decode/row_conversion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <stdexcept>
#include <vector>

#include "decode/hdr_row.h"

namespace lumenpull {
namespace {

using Bytes = std::vector<uint8_t>;

struct RowCase {
    const char* name;
    std::function<void(std::span<const uint8_t>, std::span<uint8_t>, uint32_t)> convert;
    Bytes source;  // two pixels
    Bytes expected;
};

const RowCase rowCases[] = {
    {"32 to 24", convertRow32To24, {1, 2, 3, 4, 5, 6, 7, 8}, {1, 2, 3, 5, 6, 7}},
    {"32 to 24 two-channel", convertRow32To24TwoChannel, {1, 2, 3, 4, 5, 6, 7, 8}, {255, 2, 3, 255, 6, 7}},
    {"legacy 24", convertRow24To24, {1, 2, 3, 4, 5, 6}, {1, 2, 3, 4, 5, 6}},
    {"legacy 24 two-channel", convertRow24To24TwoChannel, {1, 2, 3, 4, 5, 6}, {255, 2, 3, 255, 5, 6}},
    {"grey of 4-byte pixels",
     [](auto s, auto d, uint32_t w) { extractGreyRow(s, d, w, 4); },
     {1, 2, 3, 4, 5, 6, 7, 8},
     {1, 5}},
    {"grey of 3-byte pixels",
     [](auto s, auto d, uint32_t w) { extractGreyRow(s, d, w, 3); },
     {1, 2, 3, 4, 5, 6},
     {1, 4}},
};

TEST(RowConversionTest, PicksTheStoredBytes) {
    for (const RowCase& c : rowCases) {
        Bytes out(c.expected.size() + 2, 0xEE);
        c.convert(c.source, out, 2);
        EXPECT_EQ(Bytes(out.begin(), out.end() - 2), c.expected) << c.name;
        EXPECT_EQ(out[out.size() - 1], 0xEE) << c.name;
        EXPECT_EQ(out[out.size() - 2], 0xEE) << c.name;
    }
}

TEST(RowConversionTest, MissingStoredBytesReadAsZero) {
    for (const RowCase& c : rowCases) {
        // The last stored byte of the second pixel is missing, then a third pixel not stored at all.
        Bytes shortSource(c.source.begin(), c.source.end() - 1);
        Bytes padded = c.source;
        padded.back() = 0;
        padded.resize(c.source.size() / 2 * 3, 0);
        const std::size_t outBytes = c.expected.size() / 2 * 3;
        Bytes fromShort(outBytes, 0xEE);
        Bytes fromPadded(outBytes, 0xEE);
        c.convert(shortSource, fromShort, 3);
        c.convert(padded, fromPadded, 3);
        EXPECT_EQ(fromShort, fromPadded) << c.name;
        c.convert({}, fromShort, 3);
        c.convert(Bytes(padded.size(), 0), fromPadded, 3);
        EXPECT_EQ(fromShort, fromPadded) << c.name;
    }
}

// Long rows go through the routines' wide steps; every length around their
// step sizes, with the source whole, ending inside a pixel or absent for the
// last pixels, must give what converting one pixel at a time gives.
TEST(RowConversionTest, LongRowsEqualPixelByPixelConversion) {
    for (const RowCase& c : rowCases) {
        const std::size_t in = c.source.size() / 2;
        const std::size_t outPixel = c.expected.size() / 2;
        for (uint32_t width = 1; width <= 40; ++width) {
            Bytes source(width * in);
            for (std::size_t b = 0; b < source.size(); ++b) source[b] = static_cast<uint8_t>(b * 37 + width);
            for (const std::size_t missing : {std::size_t{0}, std::size_t{1}, in + 1, 17 * in}) {
                if (missing > source.size()) continue;
                const Bytes stored(source.begin(), source.end() - static_cast<std::ptrdiff_t>(missing));
                Bytes expected;
                for (uint32_t p = 0; p < width; ++p) {
                    Bytes pixel(in, 0);
                    for (std::size_t b = 0; b < in && p * in + b < stored.size(); ++b) pixel[b] = stored[p * in + b];
                    Bytes one(outPixel);
                    c.convert(pixel, one, 1);
                    expected.insert(expected.end(), one.begin(), one.end());
                }
                Bytes out(width * outPixel + 8, 0xEE);
                c.convert(stored, out, width);
                EXPECT_EQ(Bytes(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(width * outPixel)), expected)
                    << c.name << ", width " << width << ", missing " << missing;
                EXPECT_EQ(Bytes(out.end() - 8, out.end()), Bytes(8, 0xEE)) << c.name << ", width " << width;
            }
        }
    }
}

TEST(RowConversionTest, RefusesADestinationTooSmallForTheRow) {
    Bytes source(8);
    Bytes out(5, 0xEE);
    EXPECT_THROW(convertRow32To24(source, out, 2), std::invalid_argument);
    EXPECT_EQ(out, Bytes(5, 0xEE));
    EXPECT_THROW(extractGreyRow(source, out, 2, 2), std::invalid_argument);
}

TEST(RowConversionTest, CopyStoredRowFillsTheDestination) {
    Bytes out(6, 0xEE);
    copyStoredRow(Bytes{1, 2, 3, 4}, out);
    EXPECT_EQ(out, (Bytes{1, 2, 3, 4, 0, 0}));
    copyStoredRow(Bytes{9, 8, 7, 6, 5, 4, 3, 2}, out);
    EXPECT_EQ(out, (Bytes{9, 8, 7, 6, 5, 4}));
}

LinearRgb decodeOne(Bytes pixel, bool sharedExponent) {
    std::vector<LinearRgb> out(1);
    HdrRowDecoder(sharedExponent).decodeRow(pixel, out, 1);
    return out[0];
}

TEST(HdrRowTest, ExponentByteEncoding) {
    const LinearRgb smallest = decodeOne({0, 0, 255, 0}, false);
    EXPECT_EQ(smallest.red, 1.5258789964889274e-05);
    EXPECT_EQ(smallest.green, 0.0);
    EXPECT_EQ(smallest.blue, 0.0);

    // Channels in stored order blue, green, red; exponent byte 255 is a power just under 16.
    const LinearRgb largest = decodeOne({1, 2, 4, 255}, false);
    const double unit = std::pow(2.0, 15.999998092651367) * 0.0039215688593685627;
    EXPECT_DOUBLE_EQ(largest.red, 4 * unit);
    EXPECT_DOUBLE_EQ(largest.green, 2 * unit);
    EXPECT_DOUBLE_EQ(largest.blue, unit);
}

TEST(HdrRowTest, SharedExponentEncoding) {
    const LinearRgb full = decodeOne({0xFF, 0xFF, 0xFF, 0x7F}, true);
    EXPECT_EQ(full.red, 0.998046875);
    EXPECT_EQ(full.green, 0.998046875);
    EXPECT_EQ(full.blue, 0.998046875);

    // Red mantissa 1, green 2, blue 3 with exponent 0 and 31: scales 2^-24 and 2^7.
    const uint32_t mantissas = 1 | (2 << 9) | (3 << 18);
    for (const uint32_t exponent : {0u, 31u}) {
        const uint32_t word = mantissas | (exponent << 27);
        const LinearRgb v = decodeOne({static_cast<uint8_t>(word), static_cast<uint8_t>(word >> 8),
                                       static_cast<uint8_t>(word >> 16), static_cast<uint8_t>(word >> 24)},
                                      true);
        const double scale = std::ldexp(1.0, static_cast<int>(exponent) - 24);
        EXPECT_EQ(v.red, 1 * scale);
        EXPECT_EQ(v.green, 2 * scale);
        EXPECT_EQ(v.blue, 3 * scale);
    }
}

TEST(HdrRowTest, RowPastTheEndOfTheDataReadsZeros) {
    std::vector<LinearRgb> out(3);
    HdrRowDecoder(false).decodeRow(Bytes{0, 0, 255, 0, 9}, out, 3);
    EXPECT_EQ(out[0].red, 1.5258789964889274e-05);
    EXPECT_EQ(out[1].blue, decodeOne({9, 0, 0, 0}, false).blue);
    EXPECT_EQ(out[2].red + out[2].green + out[2].blue, 0.0);
    EXPECT_THROW(HdrRowDecoder(true).decodeRow(Bytes(8), out, 4), std::invalid_argument);
}

}  // namespace
}  // namespace lumenpull
