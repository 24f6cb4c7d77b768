#include "writers/radiance_writer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "image_test_support.h"
#include "support/temp_dir.h"
#include "lumenpull/error.h"

namespace lumenpull {
namespace {

using Bytes = std::vector<uint8_t>;
using test::TempDir;

TextureImage hdrTexture(int32_t width, int32_t height, const Bytes& data, int32_t count = 1) {
    TextureImage t;
    t.width = width;
    t.height = height;
    t.pixelFormat = PixelFormat::Hdr32;
    t.imageCount = count;
    t.pixelData = data;
    return t;
}

std::string headerFor(int height, int width) {
    return "#?RADIANCE\nGAMMA=1\nEXPOSURE=1\nFORMAT=32-bit_rle_rgbe\n\n-Y " + std::to_string(height) + " +X " +
           std::to_string(width) + "\n";
}

// The pixel bytes after the text header, which must be exactly headerFor(height, width).
Bytes pixelBytes(const std::string& path, int height, int width) {
    const Bytes file = test::readFileBytes(path);
    const std::string header = headerFor(height, width);
    EXPECT_GE(file.size(), header.size()) << path;
    if (file.size() < header.size()) return {};
    EXPECT_EQ(std::string(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(header.size())), header) << path;
    return Bytes(file.begin() + static_cast<std::ptrdiff_t>(header.size()), file.end());
}

// Stored exponent-byte pixels: all zero bytes, i.e. black.
Bytes blackPixels(std::size_t count) { return Bytes(4 * count, 0); }

TEST(RadianceWriterTest, RunLengthScanlinesWithTheResolutionLine) {
    TempDir dir;
    writeRadiance(dir / "tex", hdrTexture(512, 256, blackPixels(512 * 256)), false, false);
    const Bytes pixels = pixelBytes(dir / "tex.hdr", 256, 512);
    // Each black scanline: header, then planes of 512 zeros (4 runs of 127 and one of 4)
    // and 512 exponents 98.
    Bytes scanline{2, 2, 2, 0};
    for (const uint8_t value : Bytes{0, 0, 0, 98}) {
        for (int run = 0; run < 4; ++run) scanline.insert(scanline.end(), {0xFF, value});
        scanline.insert(scanline.end(), {0x84, value});
    }
    ASSERT_EQ(pixels.size(), 256 * scanline.size());
    EXPECT_EQ(Bytes(pixels.begin(), pixels.begin() + static_cast<std::ptrdiff_t>(scanline.size())), scanline);
    EXPECT_EQ(Bytes(pixels.end() - static_cast<std::ptrdiff_t>(scanline.size()), pixels.end()), scanline);
}

TEST(RadianceWriterTest, FlatRowsWhenRunLengthDoesNotApply) {
    TempDir dir;
    struct Case {
        const char* name;
        int32_t width;
        bool noCompression;
        bool flat;
    };
    const Case cases[] = {
        {"width 1", 1, false, true},
        {"width 4: run-length rows would be misread", 4, false, true},
        {"width 7", 7, false, true},
        {"width 8", 8, false, false},
        {"width 8 with -u", 8, true, true},
        {"width 32767", 32767, false, false},
        {"width 32768: too wide for a scanline header", 32768, false, true},
    };
    for (const Case& c : cases) {
        writeRadiance(dir / "t", hdrTexture(c.width, 2, blackPixels(2 * c.width)), false, c.noCompression);
        const Bytes pixels = pixelBytes(dir / "t.hdr", 2, c.width);
        if (c.flat) {
            Bytes expected;
            for (int i = 0; i < 2 * c.width; ++i) expected.insert(expected.end(), {0, 0, 0, 98});
            EXPECT_EQ(pixels, expected) << c.name;
        } else {
            ASSERT_GE(pixels.size(), 4u) << c.name;
            EXPECT_EQ(Bytes(pixels.begin(), pixels.begin() + 4),
                      (Bytes{2, 2, static_cast<uint8_t>(c.width >> 8), static_cast<uint8_t>(c.width & 0xFF)}))
                << c.name;
            EXPECT_LT(pixels.size(), 2u * c.width * 4) << c.name;
        }
    }
}

// Readers of a file whose width a scanline header can hold look at the
// first four bytes of every row: 2, 2 and a byte below 128 make it a
// run-length scanline. With the factor 255 a pixel's largest mantissa can be
// 127, so a flat row could begin with such bytes and be misread (OpenCV
// refuses the whole file). Such a row start is written one power of two
// lower with doubled mantissas, the same value; rows of other widths, and
// the same pixel inside a row, are kept as encoded.
TEST(RadianceWriterTest, FlatRowsNeverBeginLikeAScanlineHeader) {
    TempDir dir;
    // Shared exponent 16 (scale 2^-8), red and green 5, blue 257: 2, 2, 127, 129.
    const uint32_t word = 5u | 5u << 9 | 257u << 18 | 16u << 27;
    const Bytes headerLike{2, 2, 127, 129};
    const Bytes doubled{4, 4, 254, 128};
    struct Case {
        const char* name;
        int32_t width;
        bool noCompression;
        bool noise;  // rows of noise after the first pixel: run-length rows come out larger
        const Bytes& rowStart;
    };
    const Case cases[] = {
        {"width 8 with -u", 8, true, false, doubled},
        {"width 8, flat because run-length rows are larger", 8, false, true, doubled},
        {"width 300 with -u", 300, true, true, doubled},
        {"width 32767 with -u", 32767, true, false, doubled},
        {"width 7: never a scanline header", 7, false, false, headerLike},
        {"width 32768: never a scanline header", 32768, false, false, headerLike},
    };
    const int32_t height = 3;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto pixels = static_cast<std::size_t>(c.width) * height;
        Bytes stored = c.noise ? test::noiseBytes(4 * pixels, 12) : Bytes();
        stored.resize(4 * pixels);
        for (std::size_t i = 0; i < pixels; ++i) {
            if (!c.noise || i % static_cast<std::size_t>(c.width) == 0) {
                for (std::size_t b = 0; b < 4; ++b) stored[4 * i + b] = static_cast<uint8_t>(word >> (8 * b));
            }
        }
        writeRadiance(dir / "t", hdrTexture(c.width, height, stored), true, c.noCompression);
        const Bytes file = pixelBytes(dir / "t.hdr", height, c.width);
        ASSERT_EQ(file.size(), 4 * pixels);  // flat
        for (std::size_t row = 0; row < static_cast<std::size_t>(height); ++row) {
            const auto start = file.begin() + static_cast<std::ptrdiff_t>(row * 4 * static_cast<std::size_t>(c.width));
            EXPECT_EQ(Bytes(start, start + 4), c.rowStart) << "row " << row;
            if (!c.noise) {
                EXPECT_EQ(Bytes(start + 4, start + 8), headerLike) << "row " << row;
            }
        }
    }
}

TEST(RadianceWriterTest, RunLengthLargerThanFlatIsWrittenAgainFlat) {
    TempDir dir;
    // Shared-exponent noise: neighbouring pixels differ in every plane but the exponent.
    const Bytes noise = test::noiseBytes(16 * 3 * 4, 9);
    writeRadiance(dir / "noise", hdrTexture(16, 3, noise), true, false);
    const Bytes pixels = pixelBytes(dir / "noise.hdr", 3, 16);
    ASSERT_EQ(pixels.size(), 16u * 3 * 4);
    EXPECT_NE(Bytes(pixels.begin(), pixels.begin() + 2), (Bytes{2, 2}));
}

TEST(RadianceWriterTest, BothSourceEncodingsAndShortData) {
    TempDir dir;
    // Shared exponent 0x7FFFFFFF: every channel 0.998046875. The second
    // pixel lies past the end of the data and reads as zeros.
    writeRadiance(dir / "shared", hdrTexture(2, 1, Bytes{0xFF, 0xFF, 0xFF, 0x7F}), true, true);
    EXPECT_EQ(pixelBytes(dir / "shared.hdr", 1, 2), (Bytes{254, 254, 254, 128, 0, 0, 0, 98}));
    // The same bytes as exponent-byte pixels: blue 255, green 255, red 255, exponent byte 127.
    writeRadiance(dir / "bytes", hdrTexture(1, 1, Bytes{0xFF, 0xFF, 0xFF, 0x7F}), false, true);
    const Bytes pixel = pixelBytes(dir / "bytes.hdr", 1, 1);
    ASSERT_EQ(pixel.size(), 4u);
    EXPECT_EQ(pixel[0], pixel[2]);
    EXPECT_GT(pixel[0], 240);
    EXPECT_EQ(pixel[3], 128);  // 255 × 2^(127 × 0.12549 - 16) / 255 ≈ 0.957

    // Zero width and zero height do not fail.
    writeRadiance(dir / "zero", hdrTexture(0, 4, Bytes(4)), false, false);
    EXPECT_EQ(pixelBytes(dir / "zero.hdr", 4, 0), Bytes{});
    writeRadiance(dir / "none", hdrTexture(9, 0, Bytes(4)), false, false);
    EXPECT_EQ(pixelBytes(dir / "none.hdr", 0, 9), Bytes{});
}

TEST(RadianceWriterTest, ImagesHoldOnlyTheRowsThePixelDataReaches) {
    TempDir dir;
    // Rows of 2 pixels (8 bytes); 9 bytes reach into the second of three
    // rows, whose second pixel reads as zeros; the third row is left out.
    Bytes data(9, 0);
    data[8] = 0xFF;
    EXPECT_EQ(writeRadiance(dir / "short", hdrTexture(2, 3, data), true, true), 1);
    EXPECT_EQ(pixelBytes(dir / "short.hdr", 2, 2).size(), 2u * 2 * 4);
    // Three images, data for one and a half: two files, the second cut off;
    // a few bytes for 65535 x 65535 give one row, not gigabytes.
    EXPECT_EQ(writeRadiance(dir / "frames", hdrTexture(2, 2, blackPixels(6), 3), false, true), 2);
    EXPECT_EQ(pixelBytes(dir / "frames_00.hdr", 2, 2).size(), 16u);
    EXPECT_EQ(pixelBytes(dir / "frames_01.hdr", 1, 2).size(), 8u);
    EXPECT_FALSE(std::filesystem::exists(dir / "frames_02.hdr"));
    EXPECT_EQ(writeRadiance(dir / "huge", hdrTexture(65535, 65535, blackPixels(4)), false, true), 1);
    EXPECT_EQ(pixelBytes(dir / "huge.hdr", 1, 65535).size(), 65535u * 4);
    // Empty data fills nothing: no file.
    EXPECT_EQ(writeRadiance(dir / "empty", hdrTexture(3, 1, {}), false, false), 0);
    EXPECT_FALSE(std::filesystem::exists(dir / "empty.hdr"));
}

TEST(RadianceWriterTest, FileNamesAndErrors) {
    TempDir dir;
    const Bytes data = blackPixels(4);
    writeRadiance(dir / "cube", hdrTexture(1, 1, data, 2), false, false);
    EXPECT_TRUE(std::filesystem::exists(dir / "cube_00.hdr"));
    EXPECT_TRUE(std::filesystem::exists(dir / "cube_01.hdr"));
    writeRadiance(dir / "nothing", hdrTexture(1, 1, data, 0), false, false);
    EXPECT_FALSE(std::filesystem::exists(dir / "nothing.hdr"));

    try {
        writeRadiance(dir / "missing/tex", hdrTexture(1, 1, data), false, false);
        ADD_FAILURE() << "no error";
    } catch (const lumenpull::Error& caught) {
        const std::string error = caught.what();
        EXPECT_EQ(error, "Error creating output file: " + (dir / "missing/tex.hdr") + ": No such file or directory");
    }
    EXPECT_THROW(writeRadiance(std::string(600, 'x'), hdrTexture(1, 1, data), false, false), lumenpull::Error);
}

}  // namespace
}  // namespace lumenpull
