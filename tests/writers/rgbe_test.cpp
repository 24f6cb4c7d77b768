#include "writers/rgbe.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "decode/hdr_row.h"
#include "image_test_support.h"
#include "packets_into_vector.h"

namespace lumenpull {
namespace {

using Bytes = std::vector<uint8_t>;
using test::encodeRgbeScanline;
using Rgbe = std::array<uint8_t, 4>;

TEST(RgbeTest, EncodesWithFactor255) {
    struct Case {
        double red, green, blue;
        Rgbe expected;
    };
    const Case cases[] = {
        {0, 0, 0, {0, 0, 0, 98}},  // black: the 2^-31 offset makes the largest value negative
        {1, 1, 1, {255, 255, 255, 128}},
        {0.5, 0.5, 0.5, {255, 255, 255, 127}},
        {1.0, 0.5, 0.25, {255, 127, 63, 128}},
        {0.998046875, 0.998046875, 0.998046875, {254, 254, 254, 128}},
        {3.0, 0, 1.0, {191, 0, 63, 130}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(encodeRgbe(c.red, c.green, c.blue), c.expected) << c.red << " " << c.green << " " << c.blue;
    }
}

// The encoding written out with the library's frexp and a division per
// pixel: whatever shortcuts encodeRgbe takes must give the same bytes.
Rgbe plainRgbe(double red, double green, double blue) {
    const double largest = std::max({red, green, blue}) - 0x1p-31;
    int exponent = 0;
    const double factor = std::frexp(largest, &exponent) / largest * 255.0;
    const auto mantissa = [&](double v) -> uint8_t {
        const double scaled = v * factor;
        if (scaled >= 256.0) return 255;
        if (scaled > -9.0e18) return static_cast<uint8_t>(static_cast<int64_t>(scaled));
        return 0;
    };
    return {mantissa(red), mantissa(green), mantissa(blue), static_cast<uint8_t>(exponent + 128)};
}

TEST(RgbeTest, MatchesTheEncodingWithADivisionPerPixel) {
    std::mt19937_64 random(9);
    std::vector<double> values = {0.0,     -0.0,     0x1p-31, 0x1p-31 * (1 + 0x1p-52),
                                  1e-300,  4.9e-324, 1e300,   0x1p1022,
                                  1.7e308, -1.0,     65535.0, std::numeric_limits<double>::infinity()};
    for (int k = 0; k < 20000; ++k) {
        // Magnitudes across the whole range, and across what decoders give.
        const double mantissa = std::ldexp(static_cast<double>(random() >> 11), -53);
        values.push_back(std::ldexp(mantissa, static_cast<int>(random() % 2100) - 1075));
        values.push_back(std::ldexp(mantissa, static_cast<int>(random() % 48) - 32));
    }
    for (std::size_t k = 0; k + 2 < values.size(); ++k) {
        const double r = values[k], g = values[(k * 7 + 1) % values.size()], b = values[(k * 13 + 2) % values.size()];
        ASSERT_EQ(encodeRgbe(r, g, b), plainRgbe(r, g, b)) << r << " " << g << " " << b;
    }
}

TEST(RgbeTest, MantissaJustPastTheOffsetClampsTo255) {
    // An exponent-byte pixel with largest byte 1 and exponent byte 0 is barely
    // above the 2^-31 offset: its mantissa comes to 256, which must not wrap to 0.
    const Bytes stored{0, 0, 1, 0};
    const LinearRgb tiny = decodeHdrPixel(std::span<const uint8_t, 4>(stored.data(), 4), false);
    const Rgbe rgbe = encodeRgbe(tiny.red, tiny.green, tiny.blue);
    EXPECT_EQ(rgbe, (Rgbe{255, 0, 0, 104}));

    // Values at and below the offset do not crash or produce garbage exponents.
    EXPECT_EQ(encodeRgbe(0x1p-31, 0, 0)[3], 128);
    EXPECT_EQ(encodeRgbe(0x1p-33, 0, 0)[1], 0);
}

TEST(RgbeTest, FlatRowStartsNeverReadAsScanlineHeaders) {
    struct Case {
        const char* name;
        Rgbe pixel;
        Rgbe written;
    };
    const Case cases[] = {
        {"largest mantissa 127: one power lower", {2, 2, 127, 129}, {4, 4, 254, 128}},
        {"any first width byte below 128", {2, 2, 0, 98}, {4, 4, 0, 97}},
        {"exponent byte 0 cannot go lower: black", {2, 2, 127, 0}, {0, 0, 0, 98}},
        {"first width byte 128 or more: a pixel to readers", {2, 2, 128, 129}, {2, 2, 128, 129}},
        {"red other than 2", {3, 2, 127, 129}, {3, 2, 127, 129}},
        {"green other than 2", {2, 1, 127, 129}, {2, 1, 127, 129}},
        {"black", {0, 0, 0, 98}, {0, 0, 0, 98}},
    };
    for (const Case& c : cases) {
        Rgbe pixel = c.pixel;
        unlikeScanlineHeader(pixel);
        EXPECT_EQ(pixel, c.written) << c.name;
    }
    // The pixel that needs it comes from values the decoders give.
    EXPECT_EQ(encodeRgbe(5.0 / 256, 5.0 / 256, 257.0 / 256), (Rgbe{2, 2, 127, 129}));
}

// A scanline whose four planes are all the given bytes.
Bytes scanlineOf(const Bytes& plane) {
    Bytes scanline;
    for (uint8_t v : plane) scanline.insert(scanline.end(), 4, v);
    return scanline;
}

Bytes repeatedPlanes(const Bytes& header, const Bytes& planePackets) {
    Bytes expected = header;
    for (int p = 0; p < 4; ++p) expected.insert(expected.end(), planePackets.begin(), planePackets.end());
    return expected;
}

TEST(RgbeScanlineTest, PacketExamples) {
    Bytes differing(300);
    for (std::size_t i = 0; i < differing.size(); ++i)
        differing[i] = static_cast<uint8_t>(i % 2 == 0 ? i / 2 : 150 + i / 2 % 100);
    Bytes literals{127};
    literals.insert(literals.end(), differing.begin(), differing.begin() + 127);
    literals.push_back(127);
    literals.insert(literals.end(), differing.begin() + 127, differing.begin() + 254);
    literals.push_back(46);
    literals.insert(literals.end(), differing.begin() + 254, differing.end());

    struct Case {
        const char* name;
        Bytes plane;
        Bytes packets;
    };
    const Case cases[] = {
        {"four equal bytes run", {5, 5, 5, 5}, {0x84, 5}},
        {"three equal bytes at the end stay literal", {5, 5, 5}, {0x03, 5, 5, 5}},
        {"run then a literal", {5, 5, 5, 5, 5, 6}, {0x85, 5, 0x01, 6}},
        {"literal then run", {1, 2, 3, 3, 3, 3, 3}, {0x02, 1, 2, 0x85, 3}},
        {"one byte", {9}, {0x01, 9}},
        {"300 equal bytes", Bytes(300, 7), {0xFF, 7, 0xFF, 7, 0xAE, 7}},
        {"300 differing bytes", differing, literals},
    };
    for (const Case& c : cases) {
        Bytes out;
        const std::size_t written = encodeRgbeScanline(scanlineOf(c.plane), out);
        const std::size_t n = c.plane.size();
        const Bytes header{2, 2, static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n & 0xFF)};
        EXPECT_EQ(out, repeatedPlanes(header, c.packets)) << c.name;
        EXPECT_EQ(written, 4 * c.packets.size()) << c.name;
    }
}

TEST(RgbeScanlineTest, PlanesRoundTripAndNeverShareAPacket) {
    // Plane contents differ, and each plane's tail would run into the next one's start.
    for (const uint32_t seed : {1u, 2u, 3u}) {
        Bytes scanline = test::noiseBytes(4 * 203, seed);
        for (std::size_t i = 0; i < 203; ++i) {
            if (i % 7 < 4) scanline[4 * i] = 9;                  // red: short runs
            if (i > 150) scanline[4 * i + 1] = 4;                // green: a long run to the end
            if (i < 60) scanline[4 * i + 2] = 4;                 // blue: starts with the same run
            scanline[4 * i + 3] = static_cast<uint8_t>(i / 50);  // exponent: runs of 50
        }
        Bytes out{0xAB};
        const std::size_t written = encodeRgbeScanline(scanline, out);
        ASSERT_EQ(written, out.size() - 5);
        std::size_t pos = 5;
        for (std::size_t channel = 0; channel < 4; ++channel) {
            const Bytes plane = test::expandRgbePlane(out, pos, 203);
            for (std::size_t i = 0; i < 203; ++i) ASSERT_EQ(plane[i], scanline[4 * i + channel]) << channel << " " << i;
        }
        EXPECT_EQ(pos, out.size());
    }
}

}  // namespace
}  // namespace lumenpull
