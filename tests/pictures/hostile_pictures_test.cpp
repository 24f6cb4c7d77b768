// Pictures other programs write, and pictures made to hurt.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lumenpull/error.h"
#include "pictures/picture.h"

namespace lumenpull {
namespace {

std::vector<uint8_t> tgaHeader(uint8_t type, uint16_t width, uint16_t height, uint8_t depth, uint8_t descriptor) {
    std::vector<uint8_t> h(18, 0);
    h[2] = type;
    h[12] = static_cast<uint8_t>(width);
    h[13] = static_cast<uint8_t>(width >> 8);
    h[14] = static_cast<uint8_t>(height);
    h[15] = static_cast<uint8_t>(height >> 8);
    h[16] = depth;
    h[17] = descriptor;
    return h;
}

std::vector<uint8_t> operator+(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(ForeignPictures, TgaRowOrderAndPacketsAcrossRowsAreFollowed) {
    // 2 x 2 grey, bottom row first and right to left: stored 1 2 / 3 4 is 4 3 / 2 1.
    const Picture flipped = readPicture(tgaHeader(3, 2, 2, 8, 0x10) + std::vector<uint8_t>{1, 2, 3, 4}, "a.tga");
    EXPECT_EQ(flipped.images.at(0).bytes, (std::vector<uint8_t>{4, 3, 2, 1}));
    // 3 x 2 colour, top row first, one run of four pixels reaching into the
    // second row, then two raw pixels; blue, green, red become red first.
    const Picture packed = readPicture(
        tgaHeader(10, 3, 2, 24, 0x20) + std::vector<uint8_t>{0x83, 1, 2, 3, 0x01, 4, 5, 6, 7, 8, 9}, "b.TGA");
    EXPECT_EQ(packed.images.at(0).shape.layout, PixelLayout::Rgb8);
    EXPECT_EQ(packed.images.at(0).bytes, (std::vector<uint8_t>{3, 2, 1, 3, 2, 1, 3, 2, 1, 3, 2, 1, 6, 5, 4, 9, 8, 7}));
}

std::vector<uint8_t> text(const std::string& s) { return {s.begin(), s.end()}; }

std::vector<uint8_t> ddsHeader(uint32_t width, uint32_t height, uint32_t levels, const char* code) {
    std::vector<uint8_t> h(128, 0);
    const auto put = [&](std::size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) h[at + std::size_t(i)] = static_cast<uint8_t>(v >> (8 * i));
    };
    put(0, 0x20534444);
    put(4, 124);
    put(8, 0x1 | 0x2 | 0x4 | 0x1000 | 0x20000);
    put(12, height);
    put(16, width);
    put(28, levels);
    put(76, 32);
    put(80, 0x4);
    for (int i = 0; i < 4; ++i) h[84 + std::size_t(i)] = static_cast<uint8_t>(code[i]);
    return h;
}

struct Hostile {
    const char* what;
    const char* name;
    std::vector<uint8_t> bytes;
};

TEST(HostilePictures, AreRefusedWithOneLine) {
    const std::string hdrHead = "#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n\n";
    const Hostile cases[] = {
        {"empty tga", "a.tga", {}},
        {"tga header only, raw", "a.tga", tgaHeader(2, 4, 4, 24, 0x20)},
        // Run-length: the size is checked against the file before anything is made.
        {"tga of 65535 square from a few bytes", "a.tga",
         tgaHeader(10, 65535, 65535, 32, 0x20) + std::vector<uint8_t>{0xFF, 1, 2, 3, 4}},
        {"tga run-length ends early", "a.tga", tgaHeader(11, 4, 4, 8, 0x20) + std::vector<uint8_t>{0x83, 9, 0x05, 1}},
        {"tga colour-mapped", "a.tga", tgaHeader(1, 2, 2, 8, 0x20) + std::vector<uint8_t>(4)},
        {"tga 16-bit", "a.tga", tgaHeader(2, 2, 2, 16, 0x20) + std::vector<uint8_t>(8)},
        {"tga of no pixels", "a.tga", tgaHeader(2, 0, 4, 24, 0x20)},
        {"png garbage", "a.png", text("\x89PNG\r\n\x1a\n garbage")},
        {"dds truncated", "a.dds", ddsHeader(8, 8, 1, "DXT1") + std::vector<uint8_t>(31)},
        {"dds more levels than its size", "a.dds", ddsHeader(4, 4, 9, "DXT1") + std::vector<uint8_t>(4096)},
        {"dds unknown format", "a.dds", ddsHeader(4, 4, 1, "DXT3") + std::vector<uint8_t>(16)},
        {"dds larger than a texture", "a.dds", ddsHeader(70000, 1, 1, "DXT1")},
        {"hdr without resolution", "a.hdr", text(hdrHead)},
        {"hdr huge from a few bytes", "a.hdr", text(hdrHead + "-Y 60000 +X 60000\n\x02\x02")},
        {"hdr scanline packet past the row", "a.hdr",
         text(hdrHead + "-Y 1 +X 8\n") + std::vector<uint8_t>{2, 2, 0, 8, 9, 1}},
        {"hdr flat row short", "a.hdr", text(hdrHead + "-Y 1 +X 2\n") + std::vector<uint8_t>{1, 2, 3, 4, 5}},
        {"hdr other orientation", "a.hdr", text(hdrHead + "+Y 1 +X 1\n") + std::vector<uint8_t>(4)},
        {"exr garbage", "a.exr", text("v/1\x01\x02\x00\x00\x00 not really")},
        {"unknown type", "a.bmp", text("BM")},
    };
    for (const Hostile& c : cases) {
        SCOPED_TRACE(c.what);
        try {
            readPicture(c.bytes, c.name);
            ADD_FAILURE() << "read";
        } catch (const Error& error) {
            const std::string message = error.what();
            EXPECT_FALSE(message.empty());
            EXPECT_EQ(message.find('\n'), std::string::npos) << message;
        }
    }
}

TEST(HostilePictures, PngChunkLongerThanTheFileIsRefusedBeforeAnythingIsMade) {
    // A valid 8 x 8 header, then a data chunk that says it holds 2 GB: the
    // reader must not make room for it first.
    const std::vector<uint8_t> chunk = text("\x74\x79\x70\x65IDATx\x01") + std::vector<uint8_t>(40, 9);
    const std::vector<uint8_t> file =
        text("\x89PNG\r\n\x1a\n") + std::vector<uint8_t>{0, 0, 0, 13} + text("IHDR") +
        std::vector<uint8_t>{0, 0, 0, 8, 0, 0, 0, 8, 8, 0, 0, 0, 0, 0xE1, 0x64, 0xE1, 0x57} + chunk;
    try {
        readPicture(file, "a.png");
        ADD_FAILURE() << "read";
    } catch (const Error& error) {
        EXPECT_STREQ(error.what(), "Truncated PNG file");
    }
}

}  // namespace
}  // namespace lumenpull
