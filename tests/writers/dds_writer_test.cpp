#include "writers/dds_writer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "decode/hdr_row.h"
#include "writers/tga_writer.h"
#include "image_test_support.h"
#include "support/temp_dir.h"
#include "texture_fixture.h"
#include "lumenpull/error.h"

namespace lumenpull {
namespace {

using Bytes = std::vector<uint8_t>;
using test::TempDir;
using test::textureImage;

uint32_t word(const Bytes& b, std::size_t at) {
    return uint32_t{b[at]} | uint32_t{b[at + 1]} << 8 | uint32_t{b[at + 2]} << 16 | uint32_t{b[at + 3]} << 24;
}

// The fields of a legacy DDS header, as a reader takes them.
struct DdsFile {
    uint32_t flags, height, width, pitchOrLinearSize, depth, mipMapCount;
    uint32_t pixelSize, pixelFlags, fourCc, bitCount, masks[4];
    uint32_t caps, caps2;
    bool reservedZero;
    Bytes data;
};

DdsFile readDds(const std::string& path) {
    const Bytes b = test::readFileBytes(path);
    DdsFile f{};
    EXPECT_GE(b.size(), 128u) << path;
    if (b.size() < 128) return f;
    EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "DDS ") << path;
    EXPECT_EQ(word(b, 4), 124u) << path;
    f.flags = word(b, 8);
    f.height = word(b, 12);
    f.width = word(b, 16);
    f.pitchOrLinearSize = word(b, 20);
    f.depth = word(b, 24);
    f.mipMapCount = word(b, 28);
    f.pixelSize = word(b, 76);
    f.pixelFlags = word(b, 80);
    f.fourCc = word(b, 84);
    f.bitCount = word(b, 88);
    for (int i = 0; i < 4; ++i) f.masks[i] = word(b, 92 + 4 * static_cast<std::size_t>(i));
    f.caps = word(b, 108);
    f.caps2 = word(b, 112);
    f.reservedZero = true;
    for (std::size_t at = 32; at < 76; ++at) f.reservedZero = f.reservedZero && b[at] == 0;
    for (std::size_t at = 116; at < 128; ++at) f.reservedZero = f.reservedZero && b[at] == 0;
    f.data.assign(b.begin() + 128, b.end());
    return f;
}

constexpr uint32_t fourCc(const char (&c)[5]) {
    return uint32_t{static_cast<uint8_t>(c[0])} | uint32_t{static_cast<uint8_t>(c[1])} << 8 |
           uint32_t{static_cast<uint8_t>(c[2])} << 16 | uint32_t{static_cast<uint8_t>(c[3])} << 24;
}

// Header flags: caps, height, width, pixel format and mip-map count always;
// linear size for blocks, pitch otherwise.
constexpr uint32_t BlockFlags = 0x1 | 0x2 | 0x4 | 0x1000 | 0x20000 | 0x80000;
constexpr uint32_t PitchFlags = 0x1 | 0x2 | 0x4 | 0x1000 | 0x20000 | 0x8;

TEST(DdsWriterTest, HeaderFieldsFollowTheStoredFormat) {
    struct Case {
        const char* name;
        int32_t format;
        uint8_t bits;
        uint32_t flags;  // texture flags
        int32_t width, height, count;
        uint32_t levels;  // as handed to the writer
        uint32_t headerFlags, pitchOrLinearSize, mipMapCount;
        uint32_t pixelFlags, fourCc, bitCount, masks[4];
        uint32_t caps, caps2;
        std::size_t dataBytes;
    };
    const Case cases[] = {
        {"BC1", 9, 4, 0, 8, 8, 1, 1, BlockFlags, 32, 1, 0x4, fourCc("DXT1"), 0, {0, 0, 0, 0}, 0x1000, 0, 32},
        {"BC3", 10, 8, 0, 8, 4, 1, 1, BlockFlags, 32, 1, 0x4, fourCc("DXT5"), 0, {0, 0, 0, 0}, 0x1000, 0, 32},
        {"two-channel BC3",
         10,
         8,
         0x80,
         4,
         4,
         1,
         1,
         BlockFlags,
         16,
         1,
         0x4,
         fourCc("DXT5"),
         0,
         {0, 0, 0, 0},
         0x1000,
         0,
         16},
        {"BC5", 15, 8, 0, 4, 8, 1, 1, BlockFlags, 32, 1, 0x4, fourCc("ATI2"), 0, {0, 0, 0, 0}, 0x1000, 0, 32},
        {"BC1 3 x 5: blocks rounded up",
         9,
         4,
         0,
         3,
         5,
         1,
         1,
         BlockFlags,
         16,
         1,
         0x4,
         fourCc("DXT1"),
         0,
         {0, 0, 0, 0},
         0x1000,
         0,
         16},
        {"RGB from 32-bit",
         2,
         32,
         0,
         3,
         5,
         1,
         1,
         PitchFlags,
         9,
         1,
         0x40,
         0,
         24,
         {0xFF0000, 0xFF00, 0xFF, 0},
         0x1000,
         0,
         45},
        {"RGB from legacy 24-bit",
         4,
         24,
         0,
         3,
         5,
         1,
         1,
         PitchFlags,
         9,
         1,
         0x40,
         0,
         24,
         {0xFF0000, 0xFF00, 0xFF, 0},
         0x1000,
         0,
         45},
        {"RGBA",
         3,
         32,
         0,
         3,
         5,
         1,
         1,
         PitchFlags,
         12,
         1,
         0x41,
         0,
         32,
         {0xFF0000, 0xFF00, 0xFF, 0xFF000000},
         0x1000,
         0,
         60},
        {"grey", 7, 32, 0, 3, 5, 1, 1, PitchFlags, 3, 1, 0x20000, 0, 8, {0xFF, 0, 0, 0}, 0x1000, 0, 15},
        {"undecoded 8-bit blocks as 32-bit pixels",
         11,
         8,
         0,
         4,
         4,
         1,
         1,
         PitchFlags,
         16,
         1,
         0x41,
         0,
         32,
         {0xFF0000, 0xFF00, 0xFF, 0xFF000000},
         0x1000,
         0,
         64},
        {"high dynamic range", 12, 32, 0, 3, 5, 1, 1, PitchFlags, 48, 1, 0x4, 116, 0, {0, 0, 0, 0}, 0x1000, 0, 240},
        {"cube", 9, 4, 0x2, 4, 4, 6, 1, BlockFlags, 8, 1, 0x4, fourCc("DXT1"), 0, {0, 0, 0, 0}, 0x1008, 0xFE00, 6 * 8},
        {"full chain", 9, 4, 0, 8, 8, 1, 4, BlockFlags, 32, 4, 0x4, fourCc("DXT1"), 0, {0, 0, 0, 0}, 0x401008, 0, 56},
        {"cube with chains",
         3,
         32,
         0x2,
         2,
         2,
         6,
         2,
         PitchFlags,
         8,
         2,
         0x41,
         0,
         32,
         {0xFF0000, 0xFF00, 0xFF, 0xFF000000},
         0x401008,
         0xFE00,
         6 * 20},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const Bytes data = test::noiseBytes(c.dataBytes * 4, 5);  // enough for every layout above
        EXPECT_EQ(writeDds(dir / "t", textureImage(c.format, c.width, c.height, data, c.count, c.flags), c.bits, false,
                           c.levels),
                  c.count);
        const DdsFile f = readDds(dir / "t.dds");
        EXPECT_EQ(f.flags, c.headerFlags);
        EXPECT_EQ(f.width, static_cast<uint32_t>(c.width));
        EXPECT_EQ(f.height, static_cast<uint32_t>(c.height));
        EXPECT_EQ(f.pitchOrLinearSize, c.pitchOrLinearSize);
        EXPECT_EQ(f.depth, 0u);
        EXPECT_EQ(f.mipMapCount, c.mipMapCount);
        EXPECT_EQ(f.pixelSize, 32u);
        EXPECT_EQ(f.pixelFlags, c.pixelFlags);
        EXPECT_EQ(f.fourCc, c.fourCc);
        EXPECT_EQ(f.bitCount, c.bitCount);
        for (int i = 0; i < 4; ++i) EXPECT_EQ(f.masks[i], c.masks[i]) << "mask " << i;
        EXPECT_EQ(f.caps, c.caps);
        EXPECT_EQ(f.caps2, c.caps2);
        EXPECT_TRUE(f.reservedZero);
        EXPECT_EQ(f.data.size(), c.dataBytes);
    }
}

// Blocks are copied as stored; blocks that the stored bands do not cover
// (the width mod 4 columns, the last partial band) are zero, as the
// decoded TGA pixels there are.
TEST(DdsWriterTest, StoredBlocksKeptAndUncoveredBlocksZero) {
    TempDir dir;
    struct Case {
        const char* name;
        int32_t format;
        uint8_t bits;
        int32_t width, height;
        std::size_t blockBytes;
    };
    const Case cases[] = {
        {"BC1 8 x 8", 9, 4, 8, 8, 8},   {"BC5 12 x 4", 15, 8, 12, 4, 16}, {"BC1 10 x 7", 9, 4, 10, 7, 8},
        {"BC3 6 x 9", 10, 8, 6, 9, 16}, {"BC1 1 x 8", 9, 4, 1, 8, 8},     {"BC3 1 x 1", 10, 8, 1, 1, 16},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::size_t imageBytes = std::size_t(c.width) * c.height * c.bits / 8;
        const Bytes data = test::noiseBytes(imageBytes, 9);
        writeDds(dir / "t", textureImage(c.format, c.width, c.height, data), c.bits, false, 1);
        const std::size_t blocksWide = (c.width + 3) / 4;
        const std::size_t bandsHigh = (c.height + 3) / 4;
        const std::size_t storedBand = std::size_t(c.width) * c.bits / 8 * 4;
        Bytes expected(blocksWide * bandsHigh * c.blockBytes, 0);
        for (std::size_t band = 0; band < std::size_t(c.height / 4); ++band) {
            const std::size_t covered = std::size_t(c.width / 4) * c.blockBytes;
            std::memcpy(&expected[band * blocksWide * c.blockBytes], &data[band * storedBand], covered);
        }
        EXPECT_EQ(readDds(dir / "t.dds").data, expected);
    }
}

// Every 8-bit format holds exactly the pixels of the uncompressed TGA file.
TEST(DdsWriterTest, UncompressedPixelsAreTheTgaPixels) {
    TempDir dir;
    struct Case {
        const char* name;
        int32_t format;
        uint8_t bits;
        uint32_t flags;
        int32_t width, height;
    };
    const Case cases[] = {
        {"RGB", 2, 32, 0, 5, 3},          {"two-channel RGB", 4, 32, 0x80, 5, 3},
        {"legacy RGB", 2, 24, 0, 5, 3},   {"RGBA", 6, 32, 0, 5, 3},
        {"grey", 7, 32, 0, 5, 3},         {"legacy grey", 7, 24, 0, 3, 5},
        {"8-bit blocks", 11, 8, 0, 8, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes data = test::noiseBytes(std::size_t(c.width) * c.height * c.bits / 8, 4);
        const TextureImage t = textureImage(c.format, c.width, c.height, data, 1, c.flags);
        writeDds(dir / "t", t, c.bits, false, 1);
        writeTga(dir / "t", t, c.bits, true);
        const Bytes tga = test::readFileBytes(dir / "t.tga");
        EXPECT_EQ(readDds(dir / "t.dds").data, Bytes(tga.begin() + 18, tga.end()));
    }
}

TEST(DdsWriterTest, HighDynamicRangeAsDecodedFloatsWithAlphaOne) {
    TempDir dir;
    for (const bool sharedExponent : {false, true}) {
        const Bytes data = test::noiseBytes(3 * 2 * 4, sharedExponent ? 2 : 3);
        writeDds(dir / "t", textureImage(12, 3, 2, data), 32, sharedExponent, 1);
        const Bytes file = readDds(dir / "t.dds").data;
        ASSERT_EQ(file.size(), 3u * 2 * 16);
        std::vector<LinearRgb> row(3);
        for (std::size_t y = 0; y < 2; ++y) {
            HdrRowDecoder(sharedExponent).decodeRow(std::span<const uint8_t>(data).subspan(y * 12), row, 3);
            for (std::size_t x = 0; x < 3; ++x) {
                float values[4];
                std::memcpy(values, &file[(y * 3 + x) * 16], 16);
                EXPECT_EQ(values[0], static_cast<float>(row[x].red));
                EXPECT_EQ(values[1], static_cast<float>(row[x].green));
                EXPECT_EQ(values[2], static_cast<float>(row[x].blue));
                EXPECT_EQ(values[3], 1.0f);
            }
        }
    }
}

// A chain is carried in stored order: face by face, each largest first.
TEST(DdsWriterTest, ChainsCarriedInStoredOrder) {
    TempDir dir;
    // Two frames of BC3 8 x 8 with levels of 64, 16, 16 and 16 bytes.
    const Bytes frames = test::noiseBytes(2 * 112, 6);
    EXPECT_EQ(writeDds(dir / "f", textureImage(10, 8, 8, frames, 2), 8, false, 4), 2);
    EXPECT_EQ(readDds(dir / "f_00.dds").data, Bytes(frames.begin(), frames.begin() + 112));
    EXPECT_EQ(readDds(dir / "f_01.dds").data, Bytes(frames.begin() + 112, frames.end()));
    // A cube of RGBA 4 x 2 with levels of 32, 8 (2 x 1) and 4 (1 x 1) bytes.
    const Bytes faces = test::noiseBytes(6 * 44, 7);
    EXPECT_EQ(writeDds(dir / "c", textureImage(3, 4, 2, faces, 6, 0x2), 32, false, 3), 6);
    const DdsFile cube = readDds(dir / "c.dds");
    EXPECT_EQ(cube.mipMapCount, 3u);
    EXPECT_EQ(cube.data, faces);
    // Data too short for the chains it claims: the largest images only.
    const Bytes shortFrames(frames.begin(), frames.end() - 1);
    writeDds(dir / "s", textureImage(10, 8, 8, shortFrames, 2), 8, false, 4);
    EXPECT_EQ(readDds(dir / "s_00.dds").mipMapCount, 1u);
    EXPECT_EQ(readDds(dir / "s_01.dds").data, Bytes(frames.begin() + 64, frames.begin() + 128));
}

// Short data gives smaller images, as in TGA output; a cube without all six
// faces is written face by face.
TEST(DdsWriterTest, ShortDataGivesWellFormedSmallerFiles) {
    TempDir dir;
    // BC1 8 x 8 (32 bytes per image): the second image holds one band and a bit.
    const Bytes data = test::noiseBytes(32 + 20, 8);
    EXPECT_EQ(writeDds(dir / "f", textureImage(9, 8, 8, data, 3), 4, false, 1), 2);
    EXPECT_EQ(readDds(dir / "f_00.dds").height, 8u);
    const DdsFile cut = readDds(dir / "f_01.dds");
    EXPECT_EQ(cut.height, 8u);  // both bands begin inside the data
    EXPECT_EQ(cut.data.size(), 32u);
    EXPECT_EQ(Bytes(cut.data.begin(), cut.data.begin() + 20), Bytes(data.begin() + 32, data.end()));
    EXPECT_EQ(Bytes(cut.data.begin() + 20, cut.data.end()), Bytes(12, 0));
    EXPECT_FALSE(std::filesystem::exists(dir / "f_02.dds"));

    // RGBA 2 x 4 (32 bytes per image) with 2 rows and a byte of the second face.
    const Bytes faces = test::noiseBytes(32 + 9, 9);
    EXPECT_EQ(writeDds(dir / "c", textureImage(3, 2, 4, faces, 6, 0x2), 32, false, 1), 2);
    EXPECT_FALSE(std::filesystem::exists(dir / "c.dds"));
    EXPECT_EQ(readDds(dir / "c_00.dds").caps2, 0u);
    const DdsFile face = readDds(dir / "c_01.dds");
    EXPECT_EQ(face.height, 2u);
    EXPECT_EQ(face.data.size(), 16u);
}

TEST(DdsWriterTest, RefusesWhatItCannotWrite) {
    TempDir dir;
    const Bytes data(64, 1);
    EXPECT_THROW(writeDds(dir / "t", textureImage(9, 0, 4, data), 4, false, 1), lumenpull::Error);
    EXPECT_THROW(writeDds(dir / "t", textureImage(12, 4, 4, data), 24, false, 1), lumenpull::Error);
    EXPECT_THROW(writeDds(dir / "missing/t", textureImage(9, 4, 4, data), 4, false, 1), lumenpull::Error);
    EXPECT_EQ(writeDds(dir / "t", textureImage(9, 4, 4, data, 0), 4, false, 1), 0);
}

}  // namespace
}  // namespace lumenpull
