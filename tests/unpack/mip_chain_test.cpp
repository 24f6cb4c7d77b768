#include "unpack/mip_chain.h"

#include <gtest/gtest.h>

#include <random>

#include "pixels/texture_flags.h"
#include "unpack/pixel_unpacking.h"
#include "support/pixel_data_writer.h"

namespace lumenpull {
namespace {

using Bytes = std::vector<uint8_t>;

UnpackParameters texture(int32_t format, uint8_t bits, int32_t width, int32_t height, uint32_t images = 1,
                         uint16_t layoutWord = 0) {
    UnpackParameters p;
    p.width = width;
    p.height = height;
    p.pixelFormat = static_cast<PixelFormat>(format);
    p.bitsPerPixel = bits;
    p.imageCount = images;
    p.layoutWord = layoutWord;
    return p;
}

TEST(MipChain, LevelsFoundOnlyForExactStandardChainsLargestFirst) {
    struct Case {
        const char* name;
        UnpackParameters p;
        uint64_t length;
        uint32_t levels;
    };
    // BC1 8 x 8: levels of 32, 8 (4 x 4), 8 (2 x 2: one block) and 8 (1 x 1) bytes.
    const Case cases[] = {
        {"largest image only", texture(9, 4, 8, 8), 32, 1},
        {"one smaller level", texture(9, 4, 8, 8), 40, 2},
        {"chain stopping at 2 x 2", texture(9, 4, 8, 8), 48, 3},
        {"full chain", texture(9, 4, 8, 8), 56, 4},
        {"rest that is no chain", texture(9, 4, 8, 8), 44, 1},
        {"more than the full chain", texture(9, 4, 8, 8), 64, 1},
        {"largest image last", texture(9, 4, 8, 8, 1, 0x0100), 56, 1},
        {"six faces with full chains", texture(9, 4, 8, 8, 6), 6 * 56, 4},
        {"six faces and one byte more", texture(9, 4, 8, 8, 6), 6 * 56 + 1, 1},
        {"three frames", texture(10, 8, 8, 8, 3), 3 * (64 + 16 + 16 + 16), 4},
        {"RGBA 4 x 4: 64, 16, 4", texture(3, 32, 4, 4), 84, 3},
        {"RGBA, no 1 x 1", texture(3, 32, 4, 4), 80, 2},
        {"legacy 24-bit 2 x 2: 12, 3", texture(2, 24, 2, 2), 15, 2},
        {"non-square BC1 8 x 2: 8, then one block per level", texture(9, 4, 8, 2), 8 + 3 * 8, 4},
        {"undecoded 8-bit blocks", texture(11, 8, 8, 8), 64 + 3 * 16, 1},
        {"short data", texture(9, 4, 8, 8), 20, 1},
        {"no frames", texture(9, 4, 8, 8, 0), 56, 1},
        {"zero width", texture(9, 4, 0, 8), 56, 1},
        {"width past 16 bits", texture(3, 32, 70000, 1), 70000 * 4 + 35000 * 4, 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(storedMipLevels(c.length, c.p), c.levels) << c.name;
    }
}

Bytes noise(std::size_t size, uint32_t seed) {
    std::mt19937 random(seed);
    Bytes bytes(size);
    for (auto& b : bytes) b = static_cast<uint8_t>(random());
    return bytes;
}

// Stored as zlib data, plane-coded or plain: a chain comes back whole.
TEST(MipChain, ChainKeptThroughInflationAndPlanes) {
    for (const bool planes : {false, true}) {
        for (const bool compressed : {false, true}) {
            SCOPED_TRACE(::testing::Message() << "planes " << planes << ", compressed " << compressed);
            // BC3 32 x 32: levels of 1024, 256, 64 and three times 16 bytes.
            UnpackParameters p = texture(10, 8, 32, 32, 2);
            p.textureFlags = planes ? PlaneCoded : 0;
            const Bytes chains = noise(2 * (1024 + 256 + 64 + 3 * 16), 3);
            Bytes stored = planes ? test::encodePlanes(chains, 10) : chains;
            if (compressed) stored = test::compressZlib(stored);
            BufferPool buffers;
            const UnpackedLevels unpacked = unpackedWithMipChain(stored, p, buffers);
            EXPECT_EQ(unpacked.levels, 6u);
            EXPECT_EQ(Bytes(unpacked.pixels.images().begin(), unpacked.pixels.images().end()), chains);
        }
    }
}

// Without a chain the result is exactly what the usual unpacking gives.
TEST(MipChain, WithoutAChainUnpacksAsAlways) {
    std::mt19937 random(7);
    const std::pair<int32_t, uint8_t> formats[] = {{3, 32}, {7, 32}, {9, 4}, {10, 8}, {11, 8}, {15, 8}};
    for (const auto& [format, bits] : formats) {
        for (int round = 0; round < 40; ++round) {
            UnpackParameters p =
                texture(format, bits, static_cast<int32_t>(random() % 9 + 1), static_cast<int32_t>(random() % 9 + 1),
                        random() % 3 == 0 ? 6 : 1, random() % 2 ? 0 : 0x0100);
            p.textureFlags = random() % 2 ? PlaneCoded : 0;
            const Bytes stored = noise(largestImageSize(p) * p.imageCount * (random() % 3 + 1) / 2 + random() % 40,
                                       static_cast<uint32_t>(round));
            BufferPool buffers;
            const UnpackedLevels unpacked = unpackedWithMipChain(stored, p, buffers);
            if (unpacked.levels != 1) continue;
            const UnpackedPixels expected = unpackedPixels(stored, p, buffers);
            ASSERT_EQ(Bytes(unpacked.pixels.images().begin(), unpacked.pixels.images().end()),
                      Bytes(expected.images().begin(), expected.images().end()))
                << "format " << format << ", " << p.width << " x " << p.height << ", " << stored.size() << " bytes";
        }
    }
}

}  // namespace
}  // namespace lumenpull
