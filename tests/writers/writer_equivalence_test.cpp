// The writers decide between packed and plain output while packing and write
// each file once; the files must be exactly those of packing every row,
// writing, comparing the packed total with the plain size and writing the
// image again plain when it came out larger. The expected files are built
// here that way from the row routines and the step-by-step packet rules.
#include <gtest/gtest.h>

#include <cstdint>
#include <array>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "decode/bc_bands.h"
#include "decode/hdr_row.h"
#include "writers/radiance_writer.h"
#include "writers/rgbe.h"
#include "decode/row_conversion.h"
#include "writers/tga_writer.h"
#include "reference_run_length.h"
#include "texture_fixture.h"
#include "support/temp_dir.h"

namespace lumenpull {
namespace {

using Bytes = std::vector<uint8_t>;
using RowRoutine = std::function<void(std::span<const uint8_t>, std::span<uint8_t>, uint32_t)>;

struct TgaCase {
    const char* name;
    int32_t format;
    uint32_t flags;
    uint8_t sourceBits;
    uint32_t depth;
    bool bands;
    RowRoutine row;
};

const TgaCase tgaCases[] = {
    {"rgba", 3, 0, 32, 32, false, [](auto s, auto d, uint32_t w) { copyStoredRow(s, d.first(std::size_t{w} * 4)); }},
    {"rgb", 2, 0, 32, 24, false, convertRow32To24},
    {"grey", 7, 0, 32, 8, false, [](auto s, auto d, uint32_t w) { extractGreyRow(s, d, w, 4); }},
    {"bc1", 9, 0, 4, 24, true, decodeBc1Band},
    {"bc3", 10, 0, 8, 32, true, decodeBc3Band},
    {"bc3 two-channel", 10, 0x80, 8, 24, true, decodeBc3TwoChannelBand},
    {"bc5", 15, 0, 8, 24, true, decodeBc5Band},
};

// The file of image `image` as written pass after pass.
Bytes referenceTga(const TgaCase& c, const Bytes& data, uint32_t width, uint32_t height, uint32_t image,
                   bool noCompression) {
    const uint32_t outBytes = c.depth / 8;
    const uint64_t sourceRow = uint64_t{width} * c.sourceBits / 8 * (c.bands ? 4 : 1);
    const uint64_t outputRow = uint64_t{width} * outBytes * (c.bands ? 4 : 1);
    const uint64_t rows = c.bands ? height / 4 : height;
    const uint64_t imageBytes = uint64_t{width} * height * c.sourceBits / 8;
    const uint64_t expected = uint64_t{width} * height * outBytes;
    std::vector<Bytes> plainRows;
    Bytes row(static_cast<std::size_t>(outputRow));
    for (uint64_t r = 0; r < rows; ++r) {
        const uint64_t offset = std::min<uint64_t>(image * imageBytes + r * sourceRow, data.size() - 1);
        c.row(std::span<const uint8_t>(data).subspan(static_cast<std::size_t>(offset)), row, width);
        plainRows.push_back(row);
    }
    if (c.bands && height % 4 != 0) plainRows.push_back(Bytes(std::size_t{height % 4} * width * outBytes, 0));

    const auto header = [&](bool packed) {
        Bytes h(18, 0);
        h[2] = static_cast<uint8_t>((c.depth == 8 ? 3 : 2) + (packed ? 8 : 0));
        h[12] = static_cast<uint8_t>(width);
        h[13] = static_cast<uint8_t>(width >> 8);
        h[14] = static_cast<uint8_t>(height);
        h[15] = static_cast<uint8_t>(height >> 8);
        h[16] = static_cast<uint8_t>(c.depth);
        h[17] = 0x20;
        return h;
    };
    if (!noCompression) {
        Bytes file = header(true);
        // A band holds four pixel rows, each packed on its own.
        for (const Bytes& plain : plainRows) {
            const Bytes packets = test::referenceTgaRle(plain, outBytes, width);
            file.insert(file.end(), packets.begin(), packets.end());
        }
        if (file.size() - 18 <= expected) return file;
    }
    Bytes file = header(false);
    for (const Bytes& plain : plainRows) file.insert(file.end(), plain.begin(), plain.end());
    return file;
}

// Stored pixels of every kind of texture: noise (packs badly), flat areas
// (packs well), a mix, and noise with a flat stretch now and then, which
// packs close to the plain size.
Bytes storedPixels(std::size_t size, int picture, std::mt19937& random) {
    Bytes data(size);
    for (std::size_t i = 0; i < size; ++i) {
        switch (picture) {
            case 0: data[i] = static_cast<uint8_t>(random()); break;
            case 1: data[i] = static_cast<uint8_t>(i / 4096 % 3 * 40); break;
            case 2:
                data[i] = (i / 512) % 2 == 0 ? static_cast<uint8_t>(random()) : static_cast<uint8_t>(i / 64 % 7);
                break;
            default: data[i] = (i / 512) % 32 != 0 ? static_cast<uint8_t>(random()) : uint8_t{0}; break;
        }
    }
    return data;
}

TEST(WriterEquivalenceTest, TgaFilesMatchPackingWritingAndRewriting) {
    test::TempDir dir;
    std::mt19937 random(21);
    for (const TgaCase& c : tgaCases) {
        for (const auto& [width, height] : {std::pair{64u, 64u}, std::pair{37u, 19u}, std::pair{256u, 8u}}) {
            for (int picture = 0; picture < 4; ++picture) {
                const uint64_t imageBytes = uint64_t{width} * height * c.sourceBits / 8;
                const Bytes data = storedPixels(static_cast<std::size_t>(imageBytes * 3), picture, random);
                const TextureImage texture = test::textureImage(c.format, static_cast<int32_t>(width),
                                                                static_cast<int32_t>(height), data, 3, c.flags);
                for (bool noCompression : {false, true}) {
                    writeTga(dir / "t", texture, c.sourceBits, noCompression);
                    for (uint32_t i = 0; i < 3; ++i) {
                        const std::string path = dir / ("t_0" + std::to_string(i) + ".tga");
                        ASSERT_EQ(test::readFileBytes(path), referenceTga(c, data, width, height, i, noCompression))
                            << c.name << " " << width << "x" << height << ", picture " << picture << ", image " << i
                            << (noCompression ? ", -u" : "");
                    }
                }
            }
        }
    }
}

TEST(WriterEquivalenceTest, TgaPackedExactlyAsLargeAsPlainStaysPacked) {
    // Pixels A, B, B, C: raw packet of A (4 bytes), run of B (4), raw packet
    // of C (4) is 12 bytes, the plain size: packed is kept.
    test::TempDir dir;
    const Bytes data = {1, 1, 1, 0, 2, 2, 2, 0, 2, 2, 2, 0, 3, 3, 3, 0};
    const TextureImage texture = test::textureImage(2, 4, 1, data);
    writeTga(dir / "t", texture, 32, false);
    const Bytes file = test::readFileBytes(dir / "t.tga");
    ASSERT_EQ(file.size(), 18u + 12u);
    EXPECT_EQ(file[2], 10);
    EXPECT_EQ(file, referenceTga(tgaCases[1], data, 4, 1, 0, false));
}

TEST(WriterEquivalenceTest, TgaLargeImagesPackedOrPlain) {
    // Packets are written as rows are packed; an image whose packets pass
    // the plain size is written again, plain, into the emptied file.
    test::TempDir dir;
    std::mt19937 random(22);
    const uint32_t side = 1500;  // 9 MB of plain pixels
    for (int picture : {3, 0}) {
        const Bytes data = storedPixels(std::size_t{side} * side * 4, picture, random);
        const TextureImage texture =
            test::textureImage(3, static_cast<int32_t>(side), static_cast<int32_t>(side), data);
        writeTga(dir / "big", texture, 32, false);
        const Bytes file = test::readFileBytes(dir / "big.tga");
        if (picture == 3) {
            EXPECT_EQ(file[2], 10);
            EXPECT_GT(file.size(), std::size_t{8} << 20);
        } else {
            EXPECT_EQ(file[2], 2);
        }
        ASSERT_EQ(file, referenceTga(tgaCases[0], data, side, side, 0, false)) << "picture " << picture;
    }
}

// Pixels of 4 bytes whose first row is flat (it packs into a few bytes,
// saving about 1000) and whose other rows are noise (each costs a few bytes
// more packed than plain): packing passes the plain size part-way down.
Bytes flatRowThenNoise(uint32_t width, uint32_t height, uint32_t seed) {
    std::mt19937 random(seed);
    Bytes data(std::size_t{width} * height * 4, 0x40);
    for (std::size_t i = std::size_t{width} * 4; i < data.size(); ++i) data[i] = static_cast<uint8_t>(random());
    return data;
}

TEST(WriterEquivalenceTest, TgaPacketsPassingThePlainSizeLateAreReplacedByPlainPixels) {
    // Each noise row costs 2 bytes more than plain, so the total passes the
    // plain size near row 500 of 600, after most packets have been written.
    test::TempDir dir;
    const Bytes data = flatRowThenNoise(256, 600, 23);
    writeTga(dir / "late", test::textureImage(3, 256, 600, data), 32, false);
    const Bytes file = test::readFileBytes(dir / "late.tga");
    EXPECT_EQ(file[2], 2);
    EXPECT_EQ(file.size(), 18 + data.size());
    EXPECT_EQ(file, referenceTga(tgaCases[0], data, 256, 600, 0, false));
}

// The Radiance file of image `image`, written pass after pass.
Bytes referenceRadiance(const Bytes& data, uint32_t width, uint32_t height, uint32_t image, bool sharedExponent,
                        bool noCompression) {
    const std::string text = "#?RADIANCE\nGAMMA=1\nEXPOSURE=1\nFORMAT=32-bit_rle_rgbe\n\n-Y " + std::to_string(height) +
                             " +X " + std::to_string(width) + "\n";
    const uint64_t rowBytes = uint64_t{width} * 4;
    std::vector<Bytes> flatRows;
    for (uint32_t r = 0; r < height; ++r) {
        const uint64_t offset = std::min<uint64_t>(image * rowBytes * height + r * rowBytes, data.size() - 1);
        const auto source = std::span<const uint8_t>(data).subspan(static_cast<std::size_t>(offset));
        Bytes flat(static_cast<std::size_t>(rowBytes));
        for (uint32_t x = 0; x < width; ++x) {
            std::array<uint8_t, 4> pixel{};
            for (uint32_t b = 0; b < 4 && 4 * x + b < source.size(); ++b) pixel[b] = source[4 * x + b];
            const LinearRgb v = decodeHdrPixel(pixel, sharedExponent);
            const auto rgbe = encodeRgbe(v.red, v.green, v.blue);
            std::copy(rgbe.begin(), rgbe.end(), flat.begin() + 4 * x);
        }
        flatRows.push_back(flat);
    }
    Bytes file(text.begin(), text.end());
    if (!noCompression && width >= 8 && width <= 32767) {
        uint64_t payload = 0;
        for (const Bytes& flat : flatRows) {
            const Bytes scanline = test::referenceRgbeScanline(flat);
            payload += scanline.size() - 4;
            file.insert(file.end(), scanline.begin(), scanline.end());
        }
        if (payload <= rowBytes * height) return file;
        file.assign(text.begin(), text.end());
    }
    for (Bytes& flat : flatRows) {
        // A flat row must not begin like a scanline header (2, 2, below 128)
        // where readers look for one: that pixel goes one power of two lower.
        if (width >= 8 && width <= 32767 && flat[0] == 2 && flat[1] == 2 && flat[2] < 128) {
            flat[0] = 4;
            flat[1] = 4;
            flat[2] = static_cast<uint8_t>(flat[2] * 2);
            flat[3] = static_cast<uint8_t>(flat[3] - 1);
        }
        file.insert(file.end(), flat.begin(), flat.end());
    }
    return file;
}

TEST(WriterEquivalenceTest, RadianceFilesMatchPackingWritingAndRewriting) {
    test::TempDir dir;
    std::mt19937 random(23);
    for (const auto& [width, height] : {std::pair{64u, 16u}, std::pair{9u, 5u}, std::pair{300u, 3u}}) {
        for (int picture = 0; picture < 4; ++picture) {
            const Bytes data = storedPixels(std::size_t{width} * height * 4 * 2, picture, random);
            const TextureImage texture =
                test::textureImage(12, static_cast<int32_t>(width), static_cast<int32_t>(height), data, 2);
            for (bool shared : {false, true}) {
                for (bool noCompression : {false, true}) {
                    writeRadiance(dir / "h", texture, shared, noCompression);
                    for (uint32_t i = 0; i < 2; ++i) {
                        ASSERT_EQ(test::readFileBytes(dir / ("h_0" + std::to_string(i) + ".hdr")),
                                  referenceRadiance(data, width, height, i, shared, noCompression))
                            << width << "x" << height << ", picture " << picture << ", image " << i
                            << (shared ? ", shared" : "") << (noCompression ? ", -u" : "");
                    }
                }
            }
        }
    }
}

TEST(WriterEquivalenceTest, RadiancePackedExactlyAsLargeAsFlatStaysPacked) {
    // Images whose run-length payload equals the flat size, found among
    // random 8 x 2 images of few distinct pixels.
    test::TempDir dir;
    std::mt19937 random(25);
    int found = 0;
    for (int attempt = 0; attempt < 200000 && found < 5; ++attempt) {
        Bytes data(8 * 2 * 4);
        for (std::size_t i = 0; i < data.size(); ++i) {
            data[i] = static_cast<uint8_t>(i % 4 == 3 ? 120 + 9 * (random() % 3) : 64 + random() % 3);
        }
        const Bytes expected = referenceRadiance(data, 8, 2, 0, false, false);
        const std::size_t header =
            std::string("#?RADIANCE\nGAMMA=1\nEXPOSURE=1\nFORMAT=32-bit_rle_rgbe\n\n-Y 2 +X 8\n").size();
        if (expected.size() != header + 2 * 4 + 64) continue;  // two scanline headers and 64 packet bytes
        ++found;
        const TextureImage texture = test::textureImage(12, 8, 2, data);
        writeRadiance(dir / "tie", texture, false, false);
        ASSERT_EQ(test::readFileBytes(dir / "tie.hdr"), expected);
    }
    EXPECT_EQ(found, 5);
}

TEST(WriterEquivalenceTest, RadianceScanlinesPassingTheFlatSizeLateAreReplacedByFlatPixels) {
    // Scanlines are written as they are packed; the payload passes the flat
    // size near the end (row 396 of 400), and the file must then be flat.
    test::TempDir dir;
    const Bytes data = flatRowThenNoise(256, 400, 24);
    writeRadiance(dir / "late", test::textureImage(12, 256, 400, data), false, false);
    const Bytes expected = referenceRadiance(data, 256, 400, 0, false, false);
    const std::size_t header =
        std::string("#?RADIANCE\nGAMMA=1\nEXPOSURE=1\nFORMAT=32-bit_rle_rgbe\n\n-Y 400 +X 256\n").size();
    EXPECT_EQ(expected.size(), header + data.size());  // flat
    EXPECT_EQ(test::readFileBytes(dir / "late.hdr"), expected);
}

}  // namespace
}  // namespace lumenpull
