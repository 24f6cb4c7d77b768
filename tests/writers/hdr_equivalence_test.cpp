// The Radiance path decodes with per-encoding scale tables and splits
// exponents on the bits; both must give exactly the values of the per-pixel
// definitions: every exponent with every mantissa value, and the encoder on
// every decoded value and on the awkward doubles.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <bit>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "decode/hdr_row.h"
#include "writers/rgbe.h"

namespace lumenpull {
namespace {

bool sameDouble(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// encodeRgbe as defined: the library's frexp, 255 as the mantissa factor,
// mantissas above 255 stored as 255 and unformable ones as 0.
std::array<uint8_t, 4> referenceRgbe(double red, double green, double blue) {
    const double largest = std::max({red, green, blue}) - 0x1p-31;
    int exponent = 0;
    const double fraction = std::frexp(largest, &exponent);
    const double factor = fraction / largest * 255.0;
    const auto mantissa = [](double v) -> uint8_t {
        if (v >= 256.0) return 255;
        if (v > -9.0e18) return static_cast<uint8_t>(static_cast<int64_t>(v));
        return 0;
    };
    return {mantissa(red * factor), mantissa(green * factor), mantissa(blue * factor),
            static_cast<uint8_t>(exponent + 128)};
}

// Every stored pixel the row decoder sees in a test row, checked against
// decodeHdrPixel; the decoded values are also run through both encoders.
void expectRowMatchesPixels(const std::vector<uint8_t>& stored, bool sharedExponent) {
    const auto width = static_cast<uint32_t>(stored.size() / 4);
    std::vector<LinearRgb> row(width);
    HdrRowDecoder(sharedExponent).decodeRow(stored, row, width);
    std::vector<uint8_t> encoded(4 * std::size_t{width});
    encodeRgbeRow(row, encoded);
    for (uint32_t x = 0; x < width; ++x) {
        const LinearRgb expected =
            decodeHdrPixel(std::span<const uint8_t, 4>(stored.data() + 4 * x, 4), sharedExponent);
        ASSERT_TRUE(sameDouble(row[x].red, expected.red) && sameDouble(row[x].green, expected.green) &&
                    sameDouble(row[x].blue, expected.blue))
            << "pixel " << x << (sharedExponent ? " (shared exponent)" : " (exponent byte)");
        const auto rgbe = referenceRgbe(expected.red, expected.green, expected.blue);
        ASSERT_TRUE(std::equal(rgbe.begin(), rgbe.end(), encoded.begin() + 4 * x)) << "pixel " << x;
    }
}

TEST(HdrEquivalenceTest, ExponentByteRowsMatchEveryExponentAndMantissa) {
    std::vector<uint8_t> stored;
    for (uint32_t e = 0; e < 256; ++e) {
        for (uint32_t v = 0; v < 256; ++v) {
            const uint8_t pixel[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(255 - v),
                                      static_cast<uint8_t>(v ^ 0x5A), static_cast<uint8_t>(e)};
            stored.insert(stored.end(), pixel, pixel + 4);
        }
    }
    expectRowMatchesPixels(stored, false);
}

TEST(HdrEquivalenceTest, SharedExponentRowsMatchEveryExponentAndMantissa) {
    std::vector<uint8_t> stored;
    for (uint32_t e = 0; e < 32; ++e) {
        for (uint32_t m = 0; m < 512; ++m) {
            const uint32_t word = m | ((511 - m) << 9) | (((m * 7) & 0x1FF) << 18) | (e << 27);
            const uint8_t pixel[4] = {static_cast<uint8_t>(word), static_cast<uint8_t>(word >> 8),
                                      static_cast<uint8_t>(word >> 16), static_cast<uint8_t>(word >> 24)};
            stored.insert(stored.end(), pixel, pixel + 4);
        }
    }
    expectRowMatchesPixels(stored, true);
}

// The row encoder takes pixels two at a time where it can and one at a time
// where a pixel needs it: every pixel must come out as the definition says,
// whatever its neighbour.
void expectRowMatchesReference(const std::vector<LinearRgb>& row) {
    std::vector<uint8_t> encoded(4 * row.size());
    encodeRgbeRow(row, encoded);
    for (std::size_t x = 0; x < row.size(); ++x) {
        const auto rgbe = referenceRgbe(row[x].red, row[x].green, row[x].blue);
        ASSERT_TRUE(std::equal(rgbe.begin(), rgbe.end(), encoded.begin() + static_cast<std::ptrdiff_t>(4 * x)))
            << "pixel " << x << ": " << row[x].red << " " << row[x].green << " " << row[x].blue;
    }
}

TEST(HdrEquivalenceTest, EncoderMatchesTheLibraryFrexpOnAwkwardValues) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double denormal = std::numeric_limits<double>::denorm_min();
    // With -1e12 beside 1 a mantissa value falls below -2^31.
    const double values[] = {0.0,
                             -0.0,
                             0x1p-31,
                             0x1p-31 + 0x1p-83,
                             0x1p-31 - 0x1p-84,
                             0x1p-33,
                             denormal,
                             1e-300,
                             0.5,
                             1.0,
                             255.0,
                             1e300,
                             std::numeric_limits<double>::max(),
                             inf,
                             -1.0,
                             nan,
                             0.25,
                             1.0 - 0x1p-53,
                             -1e12,
                             -3.5};
    std::vector<LinearRgb> row;
    for (double r : values) {
        for (double g : values) {
            for (double b : {0.0, 0x1p-31, 1.0, nan, -1e12}) {
                EXPECT_EQ(encodeRgbe(r, g, b), referenceRgbe(r, g, b)) << r << " " << g << " " << b;
                row.push_back({r, g, b});
                row.push_back({0.75, 0.5, 0.25});  // an ordinary neighbour on either side of the pair
            }
        }
    }
    expectRowMatchesReference(row);
    std::rotate(row.begin(), row.begin() + 1, row.end());
    expectRowMatchesReference(row);
    std::mt19937_64 random(9);
    row.clear();
    for (int i = 0; i < 200000; ++i) {
        // Random bit patterns of positive doubles across the whole exponent
        // range, one in eight of the row's values negative.
        const auto bits = [&] { return std::bit_cast<double>(random() & 0x7FFFFFFFFFFFFFFFu); };
        const double r = bits();
        const double g = bits();
        const double b = bits();
        ASSERT_EQ(encodeRgbe(r, g, b), referenceRgbe(r, g, b)) << r << " " << g << " " << b;
        row.push_back({r, i % 8 == 3 ? -g : g, b});
    }
    expectRowMatchesReference(row);
}

}  // namespace
}  // namespace lumenpull
