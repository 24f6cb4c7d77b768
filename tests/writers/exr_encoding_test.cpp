#include "writers/exr_encoding.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <bit>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "support/exr_chunk_reader.h"
#include "lumenpull/error.h"

namespace lumenpull {
namespace {

// A number below `count`.
uint32_t below(std::mt19937& random, uint32_t count) { return static_cast<uint32_t>(random() % count); }

constexpr uint32_t kRowsPerZipChunk = 16;
constexpr int kZipLevel = 4;

// The size ZIP compression gives a chunk's raw bytes: the file stores its
// channels in name order (B, G, R) row by row, and compresses them with the
// format's byte split and difference predictor.
uLongf zipSize(const std::vector<float>& rgb, uint32_t width, uint32_t firstRow, uint32_t rows) {
    std::vector<uint8_t> raw;
    for (uint32_t y = firstRow; y < firstRow + rows; ++y) {
        for (const std::size_t component : {2u, 1u, 0u}) {
            for (uint32_t x = 0; x < width; ++x) {
                uint8_t bytes[4];
                std::memcpy(bytes, &rgb[(std::size_t{y} * width + x) * 3 + component], 4);
                raw.insert(raw.end(), bytes, bytes + 4);
            }
        }
    }
    std::vector<uint8_t> split(raw.size());
    const std::size_t half = (raw.size() + 1) / 2;
    for (std::size_t i = 0; i < raw.size(); ++i) split[i % 2 == 0 ? i / 2 : half + i / 2] = raw[i];
    for (std::size_t i = split.size() - 1; i > 0; --i) {
        split[i] = static_cast<uint8_t>(split[i] - split[i - 1] + 128);
    }
    uLongf size = compressBound(static_cast<uLong>(split.size()));
    std::vector<uint8_t> compressed(size);
    EXPECT_EQ(compress2(compressed.data(), &size, split.data(), static_cast<uLong>(split.size()), kZipLevel), Z_OK);
    return size;
}

// Noise of two kinds: every bit random (NaN and infinity included), and
// floats whose low bits only are random, which compress to around their own
// size — where chunks of exactly their raw size come from.
std::vector<float> noise(std::mt19937& random, uint32_t width, uint32_t height, bool everyBit) {
    std::vector<float> rgb(std::size_t{width} * height * 3);
    const uint32_t randomBits = everyBit ? 32 : 18 + below(random, 10);
    const uint32_t mask = randomBits == 32 ? ~0u : (1u << randomBits) - 1;
    const uint32_t high = 0x3f800000u & ~mask;
    for (float& value : rgb) value = std::bit_cast<float>(high | (static_cast<uint32_t>(random() & mask)));
    return rgb;
}

TEST(ExrEncoding, NoisePicturesReadBackExactlyWhateverTheirChunksCompressTo) {
    std::mt19937 random(20261211);
    int chunksAtRawSize = 0;
    int chunksRaw = 0;
    int chunksCompressed = 0;
    for (int round = 0; round < 600; ++round) {
        const uint32_t width = 1 + below(random, 64);
        const uint32_t height = 1 + below(random, 300);
        const bool everyBit = round % 4 == 0;
        const std::vector<float> rgb = noise(random, width, height, everyBit);
        const std::vector<uint8_t> file =
            encodeExrRgb("noise.exr", width, height, [&](uint32_t y, std::span<float> row) {
                std::memcpy(row.data(), &rgb[std::size_t{y} * width * 3], row.size_bytes());
            });

        const test::ExrPicture picture = test::readExrRgb(file);
        ASSERT_EQ(picture.width, int(width));
        ASSERT_EQ(picture.height, int(height));
        // Bit for bit, so that NaN payloads count too.
        ASSERT_EQ(std::memcmp(picture.rgb.data(), rgb.data(), rgb.size() * sizeof(float)), 0)
            << width << "x" << height << " round " << round;
        for (std::size_t c = 0; c < picture.chunks.size(); ++c) {
            const test::ExrChunk& chunk = picture.chunks[c];
            ASSERT_LE(chunk.storedBytes, chunk.rawBytes);
            (chunk.storedBytes == chunk.rawBytes ? chunksRaw : chunksCompressed) += 1;
            const auto first = static_cast<uint32_t>(c) * kRowsPerZipChunk;
            const uint32_t rows = std::min(kRowsPerZipChunk, height - first);
            if (zipSize(rgb, width, first, rows) == chunk.rawBytes) ++chunksAtRawSize;
        }
    }
    // The case that needs the care must have come up, and both forms.
    EXPECT_GT(chunksAtRawSize, 0);
    EXPECT_GT(chunksRaw, 0);
    EXPECT_GT(chunksCompressed, 0);
}

TEST(ExrEncoding, WriteErrorsNameTheFile) {
    try {
        encodeExrRgb("out/sky.exr", 0, 1, [](uint32_t, std::span<float>) {});
        FAIL() << "a picture of no pixels was encoded";
    } catch (const lumenpull::Error& caught) {
        const std::string error = caught.what();
        EXPECT_EQ(error.rfind("Error writing output file: out/sky.exr: ", 0), 0u) << error;
    }
}

}  // namespace
}  // namespace lumenpull
