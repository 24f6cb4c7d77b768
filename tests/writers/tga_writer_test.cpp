#include "texture_fixture.h"
#include "writers/tga_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "pixels/pixel_format.h"
#include "pixels/texture_flags.h"
#include "image_test_support.h"
#include "support/temp_dir.h"
#include "lumenpull/error.h"

namespace lumenpull {
namespace {

using Bytes = std::vector<uint8_t>;
using test::TempDir;

struct TgaFile {
    Bytes header;
    Bytes payload;

    uint8_t imageType() const { return header[2]; }
    uint8_t depth() const { return header[16]; }
    // The decoded pixels, whether the file is run-length packed or not.
    Bytes pixels() const { return imageType() >= 9 ? test::expandTgaPackets(payload, depth() / 8u) : payload; }
};

TgaFile readTga(const std::string& path) {
    const Bytes bytes = test::readFileBytes(path);
    EXPECT_GE(bytes.size(), 18u) << path;
    if (bytes.size() < 18) return {};
    return {Bytes(bytes.begin(), bytes.begin() + 18), Bytes(bytes.begin() + 18, bytes.end())};
}

using test::textureImage;

TEST(TgaWriterTest, HeaderFields) {
    TempDir dir;
    const Bytes data = test::noiseBytes(3 * 2 * 4, 1);
    writeTga(dir / "tex", textureImage(3, 3, 2, data), 32, true);
    const TgaFile file = readTga(dir / "tex.tga");
    // No id, no colour map, origin 0, width 3, height 2, depth 32, descriptor 0x20.
    EXPECT_EQ(file.header, (Bytes{0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 2, 0, 32, 0x20}));
    EXPECT_EQ(file.payload, data);
}

TEST(TgaWriterTest, TypeAndDepthFollowTheFormat) {
    struct Case {
        int32_t format;
        uint8_t sourceBits;
        uint32_t flags;
        uint8_t depth;
    };
    const Case cases[] = {
        {2, 32, 0, 24}, {4, 32, 0x80, 24}, {2, 24, 0, 24}, {3, 32, 0, 32}, {5, 32, 0, 32},
        {6, 32, 0, 32}, {8, 32, 0, 32},    {7, 32, 0, 8},  {7, 24, 0, 8},  {9, 4, 0x80, 24},
        {10, 8, 0, 32}, {10, 8, 0x80, 24}, {11, 8, 0, 32}, {15, 8, 0, 24},
    };
    TempDir dir;
    const Bytes zeros(8 * 8 * 4);  // uniform pixels: packing always pays off
    for (const Case& c : cases) {
        for (const bool noCompression : {false, true}) {
            writeTga(dir / "t", textureImage(c.format, 8, 8, zeros, 1, c.flags), c.sourceBits, noCompression);
            const TgaFile file = readTga(dir / "t.tga");
            const uint8_t plainType = c.depth == 8 ? 3 : 2;
            EXPECT_EQ(file.imageType(), noCompression ? plainType : plainType + 8) << "format " << c.format;
            EXPECT_EQ(file.depth(), c.depth) << "format " << c.format;
            EXPECT_EQ(file.header[17], 0x20);
            EXPECT_EQ(file.pixels().size(), 8u * 8 * c.depth / 8) << "format " << c.format;
        }
    }
}

TEST(TgaWriterTest, RowConversionsReachTheFile) {
    TempDir dir;
    const Bytes stored{1, 2, 3, 4, 5, 6, 7, 8};
    writeTga(dir / "rgb", textureImage(2, 2, 1, stored), 32, true);
    EXPECT_EQ(readTga(dir / "rgb.tga").payload, (Bytes{1, 2, 3, 5, 6, 7}));
    writeTga(dir / "two", textureImage(4, 2, 1, stored, 1, TwoChannel), 32, true);
    EXPECT_EQ(readTga(dir / "two.tga").payload, (Bytes{255, 2, 3, 255, 6, 7}));
    writeTga(dir / "legacy", textureImage(2, 2, 1, stored), 24, true);
    EXPECT_EQ(readTga(dir / "legacy.tga").payload, (Bytes{1, 2, 3, 4, 5, 6}));
    writeTga(dir / "grey", textureImage(7, 2, 1, stored), 32, true);
    EXPECT_EQ(readTga(dir / "grey.tga").payload, (Bytes{1, 5}));
    writeTga(dir / "grey24", textureImage(7, 2, 1, stored), 24, true);
    EXPECT_EQ(readTga(dir / "grey24.tga").payload, (Bytes{1, 4}));
}

TEST(TgaWriterTest, PackedRowsAndTheFallbackToPlainData) {
    TempDir dir;
    // 300 equal grey pixels per row pack well and stay packed.
    const Bytes uniform(300 * 2 * 4, 9);
    writeTga(dir / "uniform", textureImage(7, 300, 2, uniform), 32, false);
    const TgaFile packed = readTga(dir / "uniform.tga");
    EXPECT_EQ(packed.imageType(), 11);
    EXPECT_EQ(packed.payload, (Bytes{0xFF, 9, 0xFF, 9, 0xAB, 9, 0xFF, 9, 0xFF, 9, 0xAB, 9}));

    // Noise packs larger than it is: the file is written again without packing.
    const Bytes noise = test::noiseBytes(64 * 3 * 4, 5);
    writeTga(dir / "noise", textureImage(3, 64, 3, noise), 32, false);
    const TgaFile plain = readTga(dir / "noise.tga");
    EXPECT_EQ(plain.imageType(), 2);
    EXPECT_EQ(plain.payload, noise);
}

TEST(TgaWriterTest, EveryImageStartsWithPackingOnAndReadsItsOwnData) {
    TempDir dir;
    Bytes data = test::noiseBytes(16 * 4, 3);  // image 0: noise
    data.resize(16 * 4 * 3, 0);                // images 1 and 2: zeros
    data[16 * 4 * 2] = 77;                     // first byte of image 2
    writeTga(dir / "anim", textureImage(3, 4, 4, data, 3), 32, false);
    const TgaFile first = readTga(dir / "anim_00.tga");
    EXPECT_EQ(first.imageType(), 2);
    EXPECT_EQ(first.payload, Bytes(data.begin(), data.begin() + 64));
    EXPECT_EQ(readTga(dir / "anim_01.tga").imageType(), 10);
    EXPECT_EQ(readTga(dir / "anim_01.tga").pixels(), Bytes(64, 0));
    EXPECT_EQ(readTga(dir / "anim_02.tga").pixels(), Bytes(data.begin() + 128, data.end()));
}

// Every kind of pixel row, run-length packed: no packet may hold pixels of
// two rows, bands of block pictures and their leftover rows included, and
// the packed file decodes to the pixels of the plain one. Pictures: one
// value throughout (runs would go on from row to row), and stretches of one
// value between noise (raw packets would).
TEST(TgaWriterTest, PacketsEndWithTheirRowsForEveryKind) {
    struct Kind {
        const char* name;
        int32_t format;
        uint8_t sourceBits;
        uint32_t flags;
    };
    const Kind kinds[] = {
        {"bgr32", 2, 32, 0},  {"bgr32 two-channel", 2, 32, TwoChannel},
        {"bgr24", 2, 24, 0},  {"bgr24 two-channel", 2, 24, TwoChannel},
        {"grey24", 7, 24, 0}, {"grey32", 7, 32, 0},
        {"bgra32", 3, 32, 0}, {"bc1", 9, 4, 0},
        {"bc3", 10, 8, 0},    {"bc3 two-channel", 10, 8, TwoChannel},
        {"bc5", 15, 8, 0},    {"block8", 11, 8, 0},
    };
    TempDir dir;
    for (const Kind& k : kinds) {
        int packedFiles = 0;
        for (const auto& [width, height] : {std::pair{6, 7}, std::pair{16, 8}, std::pair{37, 13}, std::pair{130, 6}}) {
            const std::size_t storedBytes = std::size_t(width) * std::size_t(height) * k.sourceBits / 8 + 64;
            for (int picture = 0; picture < 2; ++picture) {
                Bytes data(storedBytes, 0x5A);
                if (picture == 1) {
                    const Bytes noise = test::noiseBytes(storedBytes, 9);
                    for (std::size_t i = 0; i < storedBytes; ++i) {
                        if (i / 40 % 2 == 1) data[i] = noise[i];
                    }
                }
                const TextureImage texture = textureImage(k.format, width, height, data, 1, k.flags);
                writeTga(dir / "packed", texture, k.sourceBits, false);
                writeTga(dir / "plain", texture, k.sourceBits, true);
                const TgaFile packed = readTga(dir / "packed.tga");
                const TgaFile plain = readTga(dir / "plain.tga");
                const std::string what = std::string(k.name) + " " + std::to_string(width) + "x" +
                                         std::to_string(height) + ", picture " + std::to_string(picture);
                EXPECT_EQ(packed.pixels(), plain.payload) << what;
                if (packed.imageType() < 9) continue;  // packing did not pay
                ++packedFiles;
                EXPECT_EQ(test::tgaPacketsAcrossRows(packed.payload, packed.depth() / 8u, std::size_t(width)),
                          std::vector<std::size_t>{})
                    << what;
            }
        }
        EXPECT_GE(packedFiles, 4) << k.name;
    }
}

TEST(TgaWriterTest, PackingThatPaidOnlyAcrossRowsIsDropped) {
    // A one-pixel-wide BC3 picture of one colour: a band packed whole was a
    // run of 4 pixels (5 bytes against 16 plain), but each row on its own
    // is a raw packet of one pixel, 5 bytes against 4: the file is plain.
    TempDir dir;
    writeTga(dir / "narrow", textureImage(10, 1, 8, Bytes(64, 0)), 8, false);
    const TgaFile file = readTga(dir / "narrow.tga");
    EXPECT_EQ(file.imageType(), 2);
    EXPECT_EQ(file.payload, Bytes(8 * 4, 0));
}

std::vector<std::string> filesIn(const std::filesystem::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(TgaWriterTest, FileNames) {
    const Bytes pixel(4);
    const Bytes pixels(4 * 101);  // one pixel for each of up to 101 images
    {
        TempDir dir;
        writeTga(dir / "tex", textureImage(3, 1, 1, pixel, 1), 32, false);
        EXPECT_EQ(filesIn(dir.path()), (std::vector<std::string>{"tex.tga"}));
    }
    {
        TempDir dir;
        writeTga(dir / "tex", textureImage(3, 1, 1, pixels, 3), 32, false);
        EXPECT_EQ(filesIn(dir.path()), (std::vector<std::string>{"tex_00.tga", "tex_01.tga", "tex_02.tga"}));
    }
    {
        TempDir dir;
        writeTga(dir / "tex", textureImage(3, 1, 1, pixels, 101), 32, false);
        EXPECT_TRUE(std::filesystem::exists(dir / "tex_99.tga"));
        EXPECT_TRUE(std::filesystem::exists(dir / "tex_100.tga"));
        EXPECT_EQ(filesIn(dir.path()).size(), 101u);
    }
    for (const int32_t count : {0, -1}) {
        TempDir dir;
        writeTga(dir / "tex", textureImage(3, 1, 1, pixel, count), 32, false);
        EXPECT_TRUE(filesIn(dir.path()).empty());
    }
}

// An image name inside dir whose file name (with a 4-character extension)
// is exactly total characters long; its folders are created.
std::string nameOfLength(const TempDir& dir, std::size_t total) {
    std::string name = dir.path().string();
    std::size_t left = total - 4 - name.size();
    while (left > 0) {
        std::size_t part = std::min<std::size_t>(left - 1, 200);
        if (left - 1 - part == 1) part -= 2;  // never leave a last part of length 0
        name += '/';
        name.append(part, 'n');
        left -= part + 1;
        if (left > 0) std::filesystem::create_directories(name);
    }
    return name;
}

TEST(TgaWriterTest, LongNamesAreWrittenWholeOrRefusedWithTheReason) {
    TempDir dir;
    const Bytes pixel(4);
    // No limit of the writer's own on Linux: a 600-character path is written.
    const std::string deep = nameOfLength(dir, 600);
    EXPECT_EQ(writeTga(deep, textureImage(3, 1, 1, Bytes(8), 2), 32, false), 2);
    EXPECT_TRUE(std::filesystem::exists(deep + "_01.tga"));

    // The system's refusal is reported with the name, never worked around by cutting it.
    const std::string tooLong = dir / std::string(300, 'n');
    try {
        writeTga(tooLong, textureImage(3, 1, 1, pixel), 32, false);
        ADD_FAILURE() << "no error";
    } catch (const lumenpull::Error& caught) {
        const std::string error = caught.what();
        EXPECT_EQ(error, "Error creating output file: " + tooLong + ".tga: " + std::strerror(ENAMETOOLONG));
    }
}

TEST(TgaWriterTest, FileThatCannotBeCreated) {
    TempDir dir;
    const Bytes pixel(4);
    try {
        writeTga(dir / "missing/tex", textureImage(3, 1, 1, pixel), 32, false);
        ADD_FAILURE() << "no error";
    } catch (const lumenpull::Error& caught) {
        const std::string error = caught.what();
        EXPECT_EQ(error, "Error creating output file: " + (dir / "missing/tex.tga") + ": No such file or directory");
    }
}

TEST(TgaWriterTest, FormatsWithoutTgaOutputAreRefused) {
    TempDir dir;
    const Bytes pixel(64);
    EXPECT_THROW(writeTga(dir / "a", textureImage(12, 1, 1, pixel), 32, false), lumenpull::Error);
    EXPECT_THROW(writeTga(dir / "b", textureImage(13, 1, 1, pixel), 32, false), lumenpull::Error);
    EXPECT_THROW(writeTga(dir / "c", textureImage(9, 4, 4, pixel), 32, false), lumenpull::Error);
    EXPECT_THROW(writeTga(dir / "d", textureImage(3, 1, 1, pixel), 24, false), lumenpull::Error);
    EXPECT_TRUE(filesIn(dir.path()).empty());
}

TEST(TgaWriterTest, ShortPixelDataGivesOnlyTheRowsItReaches) {
    TempDir dir;
    // Three rows of 4 pixels would take 48 bytes; 20 reach into the second
    // row, whose missing bytes read as zeros. The third row holds no stored
    // byte and is left out, so the image is 4 x 2.
    const Bytes data = test::noiseBytes(20, 5);
    EXPECT_EQ(writeTga(dir / "short", textureImage(3, 4, 3, data), 32, true), 1);
    const TgaFile file = readTga(dir / "short.tga");
    EXPECT_EQ(file.header[14], 2);
    Bytes expected(32, 0);
    std::copy(data.begin(), data.end(), expected.begin());
    EXPECT_EQ(file.payload, expected);

    // Bands: 8 x 8 BC1 takes two bands of 16 bytes; 17 bytes give both,
    // 16 bytes only the first (4 rows).
    EXPECT_EQ(writeTga(dir / "bands", textureImage(9, 8, 8, Bytes(16, 0)), 4, true), 1);
    EXPECT_EQ(readTga(dir / "bands.tga").header[14], 4);
    EXPECT_EQ(writeTga(dir / "whole", textureImage(9, 8, 8, Bytes(17, 0)), 4, true), 1);
    EXPECT_EQ(readTga(dir / "whole.tga").header[14], 8);
    // BC1 one pixel wide: a band stores less than a byte, so its share of the
    // image (768 rows, 384 bytes: 2 bytes a band) measures it. 3 bytes reach
    // two bands.
    EXPECT_EQ(writeTga(dir / "narrow", textureImage(9, 1, 768, Bytes(3, 0)), 4, true), 1);
    EXPECT_EQ(readTga(dir / "narrow.tga").header[14], 8);

    // Six faces with data for two and a half: three files, the third cut off.
    EXPECT_EQ(writeTga(dir / "cube", textureImage(3, 2, 2, Bytes(16 * 2 + 8, 0), 6), 32, true), 3);
    EXPECT_EQ(readTga(dir / "cube_01.tga").header[14], 2);
    EXPECT_EQ(readTga(dir / "cube_02.tga").header[14], 1);
    EXPECT_FALSE(std::filesystem::exists(dir / "cube_03.tga"));

    // A few bytes for 65535 x 65535 pixels: one row, not gigabytes of zeros.
    EXPECT_EQ(writeTga(dir / "huge", textureImage(3, 65535, 65535, Bytes(16, 1)), 32, true), 1);
    const TgaFile huge = readTga(dir / "huge.tga");
    EXPECT_EQ(huge.header[14] | huge.header[15] << 8, 1);
    EXPECT_EQ(huge.pixels().size(), 65535u * 4);

    // Empty pixel data fills nothing: no file. Zero sizes do not fail.
    EXPECT_EQ(writeTga(dir / "empty", textureImage(2, 2, 2, {}), 32, true), 0);
    EXPECT_FALSE(std::filesystem::exists(dir / "empty.tga"));
    writeTga(dir / "zero", textureImage(9, 0, 0, data), 4, false);
    EXPECT_EQ(readTga(dir / "zero.tga").payload, Bytes{});
    writeTga(dir / "flat", textureImage(3, 5, 0, data), 32, false);
    EXPECT_EQ(readTga(dir / "flat.tga").payload, Bytes{});
    // Bands of width 0 have no buffer to decode into or clear.
    for (const auto& [format, bits] : {std::pair{9, 4}, {10, 8}, {11, 8}, {15, 8}}) {
        writeTga(dir / "narrow", textureImage(format, 0, 8, data), static_cast<uint8_t>(bits), false);
        EXPECT_EQ(readTga(dir / "narrow.tga").payload, Bytes{}) << format;
    }
    // Images of no stored bytes take one byte of data each: a hostile image
    // count makes no more files than the data has bytes.
    EXPECT_EQ(writeTga(dir / "frames", textureImage(3, 0, 4, Bytes(3, 0), 1000000), 32, false), 3);
}

TEST(TgaWriterTest, DimensionsUseTheirLow16Bits) {
    TempDir dir;
    const Bytes data = test::noiseBytes(2 * 3 * 4, 2);
    writeTga(dir / "wide", textureImage(3, 0x10002, 0x30003, data), 32, true);
    const TgaFile file = readTga(dir / "wide.tga");
    EXPECT_EQ(file.header[12], 2);
    EXPECT_EQ(file.header[13], 0);
    EXPECT_EQ(file.header[14], 3);
    EXPECT_EQ(file.payload, data);
}

TEST(TgaWriterTest, BlockImagesNotAMultipleOfFourGiveZerosWhereNoBlockReaches) {
    TempDir dir;
    // 6 x 6 BC1: each band's source row is 6 × 4 / 8 × 4 = 12 bytes; one block
    // per band, one full band and two rows of a band with no blocks.
    Bytes data(6 * 6 * 4 / 8, 0);
    const Bytes white{0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0};
    std::copy(white.begin(), white.end(), data.begin());
    writeTga(dir / "odd", textureImage(9, 6, 6, data), 4, true);
    const TgaFile file = readTga(dir / "odd.tga");
    EXPECT_EQ(file.header[14], 6);
    ASSERT_EQ(file.payload.size(), 6u * 6 * 3);
    for (std::size_t y = 0; y < 6; ++y) {
        for (std::size_t x = 0; x < 6; ++x) {
            const uint8_t expected = (x < 4 && y < 4) ? 255 : 0;
            for (std::size_t c = 0; c < 3; ++c) EXPECT_EQ(file.payload[(y * 6 + x) * 3 + c], expected) << x << "," << y;
        }
    }
}

}  // namespace
}  // namespace lumenpull
