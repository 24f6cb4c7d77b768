// The run-length encoders cross stretches of differing pixels and grow runs
// in bulk; their packets must stay exactly those of the step-by-step rule,
// for every pixel size, at every packet limit, at every row end and at the
// end of the buffer.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "writers/rgbe.h"
#include "writers/tga_rle.h"
#include "image_test_support.h"
#include "packets_into_vector.h"
#include "reference_run_length.h"

namespace lumenpull {
namespace {

using test::encodeRgbeScanline;
using test::encodeTgaRle;
using test::tgaRleSize;

// n pixels of `bytes` bytes drawn from a small palette, in runs whose
// lengths follow the chosen profile, so that short runs, runs just at the
// minimum and long runs across the packet limit all occur.
std::vector<uint8_t> runsOfPixels(std::size_t n, std::size_t bytes, int profile, std::mt19937& random) {
    std::vector<std::vector<uint8_t>> palette(profile == 0 ? 2 : 5, std::vector<uint8_t>(bytes));
    for (auto& pixel : palette) {
        for (auto& b : pixel) b = static_cast<uint8_t>(random());
    }
    // Pixels that differ in one byte only (the last, the first, a middle
    // one) must not compare equal.
    palette[1] = palette[0];
    palette[1][bytes - 1] ^= 1;
    if (palette.size() > 3) {
        palette[2] = palette[0];
        palette[2][0] ^= 0x80;
        palette[3] = palette[0];
        palette[3][bytes / 2] ^= 0x10;
    }
    std::vector<uint8_t> out;
    while (out.size() < n * bytes) {
        std::size_t run = 1;
        switch (profile) {
            case 0: run = random() % 3 + 1; break;                                             // pairs and triples
            case 1: run = random() % 2 ? 1 : random() % 6 + 1; break;                          // mostly single
            case 2: run = random() % 8 == 0 ? random() % 400 + 100 : random() % 4 + 1; break;  // long runs
            default: run = random() % 200 + 1; break;
        }
        const auto& pixel = palette[random() % palette.size()];
        for (std::size_t k = 0; k < run; ++k) out.insert(out.end(), pixel.begin(), pixel.end());
    }
    out.resize(n * bytes);
    return out;
}

TEST(RunLengthEquivalenceTest, TgaPacketsMatchTheRule) {
    std::mt19937 random(5);
    for (uint32_t bpp : {1u, 3u, 4u}) {
        for (std::size_t n : {0u, 1u, 2u, 3u, 7u, 127u, 128u, 129u, 130u, 255u, 256u, 257u, 1000u, 4096u}) {
            for (int profile = 0; profile < 4; ++profile) {
                for (int round = 0; round < 6; ++round) {
                    const auto pixels = runsOfPixels(n, bpp, profile, random);
                    std::vector<uint8_t> packets = {0xAB};  // packets are appended
                    const std::size_t written = encodeTgaRle(pixels, bpp, packets);
                    const auto expected = test::referenceTgaRle(pixels, bpp);
                    ASSERT_EQ(written, expected.size());
                    ASSERT_EQ(tgaRleSize(pixels, bpp), expected.size());
                    ASSERT_EQ(std::vector<uint8_t>(packets.begin() + 1, packets.end()), expected)
                        << "bpp " << bpp << ", n " << n << ", profile " << profile << ", round " << round;
                }
            }
        }
    }
}

TEST(RunLengthEquivalenceTest, TgaNoiseAndLongRuns) {
    // Noise (no equal neighbours at all for the most part), and a single
    // pixel value throughout, at lengths around the packet limit.
    std::mt19937 random(6);
    for (uint32_t bpp : {1u, 3u, 4u}) {
        for (std::size_t n = 0; n < 600; n += 7) {
            std::vector<uint8_t> noise(n * bpp);
            for (auto& b : noise) b = static_cast<uint8_t>(random());
            std::vector<uint8_t> packets;
            encodeTgaRle(noise, bpp, packets);
            ASSERT_EQ(packets, test::referenceTgaRle(noise, bpp)) << "noise, bpp " << bpp << ", n " << n;
            ASSERT_EQ(tgaRleSize(noise, bpp), packets.size());
            const std::vector<uint8_t> flat(n * bpp, 0x5A);
            packets.clear();
            encodeTgaRle(flat, bpp, packets);
            ASSERT_EQ(packets, test::referenceTgaRle(flat, bpp)) << "flat, bpp " << bpp << ", n " << n;
        }
    }
}

TEST(RunLengthEquivalenceTest, TgaPacketsEndWithEveryRow) {
    // Several rows in one buffer, as a band of a block picture holds four:
    // flat pictures (a run would go on into the next row), noise (a raw
    // packet would), and runs of every length, at widths below, at and
    // around a word of repeat bits and the packet limit; the last row may
    // be cut short.
    std::mt19937 random(8);
    for (uint32_t bpp : {1u, 3u, 4u}) {
        for (std::size_t width : {1u, 2u, 3u, 5u, 16u, 63u, 64u, 65u, 127u, 128u, 129u, 300u}) {
            for (std::size_t n : {4 * width, 4 * width - 1, 3 * width + 1}) {
                for (int profile = 0; profile < 6; ++profile) {
                    std::vector<uint8_t> pixels;
                    if (profile == 4) {
                        pixels.assign(n * bpp, 0x33);
                    } else if (profile == 5) {
                        pixels.resize(n * bpp);
                        for (auto& b : pixels) b = static_cast<uint8_t>(random());
                    } else {
                        pixels = runsOfPixels(n, bpp, profile, random);
                    }
                    std::vector<uint8_t> packets;
                    encodeTgaRle(pixels, bpp, width, packets);
                    ASSERT_EQ(test::tgaPacketsAcrossRows(packets, bpp, width), std::vector<std::size_t>{})
                        << "bpp " << bpp << ", width " << width << ", n " << n << ", profile " << profile;
                    ASSERT_EQ(packets, test::referenceTgaRle(pixels, bpp, width))
                        << "bpp " << bpp << ", width " << width << ", n " << n << ", profile " << profile;
                }
            }
        }
    }
}

TEST(RunLengthEquivalenceTest, RgbeScanlinesMatchTheRule) {
    std::mt19937 random(7);
    for (std::size_t n : {1u, 3u, 4u, 5u, 8u, 126u, 127u, 128u, 129u, 254u, 255u, 300u, 1024u, 2048u}) {
        for (int profile = 0; profile < 4; ++profile) {
            for (int round = 0; round < 6; ++round) {
                // Each channel on its own run structure.
                std::vector<uint8_t> scanline(4 * n);
                for (std::size_t channel = 0; channel < 4; ++channel) {
                    const auto plane = runsOfPixels(n, 1, (profile + static_cast<int>(channel)) % 4, random);
                    for (std::size_t j = 0; j < n; ++j) scanline[4 * j + channel] = plane[j];
                }
                std::vector<uint8_t> packets = {0xAB};
                const std::size_t written = encodeRgbeScanline(scanline, packets);
                const auto expected = test::referenceRgbeScanline(scanline);
                ASSERT_EQ(written, expected.size() - 4);
                ASSERT_EQ(std::vector<uint8_t>(packets.begin() + 1, packets.end()), expected)
                    << "n " << n << ", profile " << profile << ", round " << round;
            }
        }
    }
}

}  // namespace
}  // namespace lumenpull
