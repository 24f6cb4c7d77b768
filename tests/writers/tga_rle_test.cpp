#include "writers/tga_rle.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "image_test_support.h"
#include "packets_into_vector.h"

namespace lumenpull {
namespace {

using Bytes = std::vector<uint8_t>;
using test::encodeTgaRle;

// n pixels of bpp bytes; pixel i is the pattern byte i repeated.
Bytes pixelsOf(const Bytes& pattern, std::size_t bpp) {
    Bytes pixels;
    for (uint8_t v : pattern) pixels.insert(pixels.end(), bpp, v);
    return pixels;
}

Bytes encode(const Bytes& pixels, uint32_t bpp) {
    Bytes out;
    const std::size_t written = encodeTgaRle(pixels, bpp, out);
    EXPECT_EQ(written, out.size());
    return out;
}

TEST(TgaRleTest, PacketExamples) {
    struct Case {
        const char* name;
        uint32_t bpp;
        Bytes pattern;
        Bytes expected;  // pixel values written as the pattern byte repeated bpp times
    };
    const Case cases[] = {
        {"two equal colour pixels run", 3, {7, 7}, {0x81, 7}},
        {"two equal 32-bit pixels run", 4, {7, 7}, {0x81, 7}},
        {"two equal grey pixels stay raw", 1, {7, 7}, {0x01, 7, 7}},
        {"three equal grey pixels run", 1, {7, 7, 7}, {0x82, 7}},
        {"raw, run, raw", 3, {1, 2, 2, 3}, {0x00, 1, 0x81, 2, 0x00, 3}},
        {"grey pair joins the raw data before a run", 1, {1, 1, 2, 2, 2}, {0x01, 1, 1, 0x82, 2}},
        {"single pixel", 4, {9}, {0x00, 9}},
    };
    for (const Case& c : cases) {
        Bytes expected;
        // Expand the pixel bytes of the expected packets: headers stay single bytes.
        std::size_t pos = 0;
        while (pos < c.expected.size()) {
            const uint8_t header = c.expected[pos++];
            expected.push_back(header);
            const std::size_t stored = (header & 0x80) ? 1 : (header & 0x7F) + 1u;
            for (std::size_t k = 0; k < stored; ++k) expected.insert(expected.end(), c.bpp, c.expected[pos++]);
        }
        EXPECT_EQ(encode(pixelsOf(c.pattern, c.bpp), c.bpp), expected) << c.name;
    }
}

TEST(TgaRleTest, PacketsStopAt128Pixels) {
    // 129 equal pixels: a full run, then a single raw pixel.
    EXPECT_EQ(encode(pixelsOf(Bytes(129, 5), 3), 3), (Bytes{0xFF, 5, 5, 5, 0x00, 5, 5, 5}));

    // 300 different pixels: raw packets of 128, 128 and 44.
    Bytes distinct(300);
    for (std::size_t i = 0; i < distinct.size(); ++i)
        distinct[i] = static_cast<uint8_t>(i % 2 == 0 ? i / 2 : 150 + i / 2 % 100);
    const Bytes packed = encode(pixelsOf(distinct, 3), 3);
    ASSERT_EQ(packed.size(), 3 + 300 * 3u);
    EXPECT_EQ(packed[0], 0x7F);
    EXPECT_EQ(packed[1 + 128 * 3], 0x7F);
    EXPECT_EQ(packed[2 + 256 * 3], 0x2B);

    // A grey pair straddling the 128th pixel: the raw packet closes at 128.
    Bytes grey(130);
    for (std::size_t i = 0; i < 127; ++i) grey[i] = static_cast<uint8_t>(i % 2);
    grey[127] = grey[128] = 9;
    grey[129] = 3;
    const Bytes greyPacked = encode(grey, 1);
    ASSERT_EQ(greyPacked.size(), 1 + 128 + 1 + 2u);
    EXPECT_EQ(greyPacked[0], 0x7F);
    EXPECT_EQ(greyPacked[129], 0x01);
    EXPECT_EQ(test::expandTgaPackets(greyPacked, 1), grey);
}

TEST(TgaRleTest, EmptyBufferWritesNothingAndOutputIsAppended) {
    Bytes out{42};
    EXPECT_EQ(encodeTgaRle({}, 4, out), 0u);
    EXPECT_EQ(encodeTgaRle(pixelsOf({1, 1}, 4), 4, out), 5u);
    EXPECT_EQ(out, (Bytes{42, 0x81, 1, 1, 1, 1}));
}

TEST(TgaRleTest, RoundTripsRowsOfRunsAndNoise) {
    std::mt19937 generator(7);
    for (const uint32_t bpp : {1u, 3u, 4u}) {
        for (int trial = 0; trial < 200; ++trial) {
            // Runs of random lengths (often 1 to 3, sometimes past 128) of few distinct values.
            Bytes pixels;
            const std::size_t count = generator() % 700;
            while (pixels.size() < count * bpp) {
                const std::size_t run = generator() % 8 == 0 ? generator() % 300 : generator() % 4 + 1;
                const uint8_t value = static_cast<uint8_t>(generator() % 3);
                for (std::size_t r = 0; r < run && pixels.size() < count * bpp; ++r)
                    pixels.insert(pixels.end(), bpp, value);
            }
            const Bytes packed = encode(pixels, bpp);
            ASSERT_EQ(test::expandTgaPackets(packed, bpp), pixels) << "bpp " << bpp << " trial " << trial;
        }
    }
}

}  // namespace
}  // namespace lumenpull
