// Every picture the writers make reads back to exactly the pixels it was
// written from.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "decode/eight_bit_rows.h"
#include "decode/hdr_row.h"
#include "pictures/picture.h"
#include "pixels/pixel_format.h"
#include "pixels/texture_flags.h"
#include "pixels/texture_image.h"
#include "writers/dds_writer.h"
#include "writers/exr_writer.h"
#include "writers/image_writer.h"
#include "writers/png_writer.h"
#include "writers/radiance_writer.h"
#include "writers/rgbe.h"
#include "writers/tga_writer.h"

namespace lumenpull {
namespace {

struct Case {
    const char* name;
    PixelFormat format;
    uint8_t bitsPerPixel;
    uint32_t flags;
    int32_t width;
    int32_t height;
    int32_t images;
};

// Every 8-bit row kind and both block paths, odd sizes where the format
// allows them, and several images (the frames and faces of one texture).
const Case kEightBit[] = {
    {"bgr32", PixelFormat::Rgb8, 32, 0, 13, 7, 1},
    {"bgr24", PixelFormat::Rgb8, 24, 0, 5, 9, 2},
    {"bgra32", PixelFormat::Rgba8, 32, 0, 17, 3, 1},
    {"bgr_two_channel", PixelFormat::Rgb8, 32, TwoChannel, 6, 6, 1},
    {"grey8", PixelFormat::Grey8, 32, 0, 11, 5, 1},
    {"bc1", PixelFormat::Bc1, 4, 0, 16, 8, 1},
    {"bc1_odd", PixelFormat::Bc1, 4, 0, 10, 6, 1},
    {"bc3", PixelFormat::Bc3, 8, 0, 8, 12, 2},
    {"bc3_two_channel", PixelFormat::Bc3, 8, TwoChannel, 8, 4, 1},
    {"bc5", PixelFormat::Bc5, 8, 0, 12, 8, 1},
    {"cube", PixelFormat::Rgba8, 32, SixFaces, 4, 4, 6},
};

std::vector<uint8_t> noise(std::size_t bytes, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<uint8_t> data(bytes);
    // Runs as well as noise, so the run-length paths are taken too.
    for (std::size_t i = 0; i < bytes; ++i) data[i] = (i / 64) % 2 ? static_cast<uint8_t>(random()) : 7;
    return data;
}

TextureImage texture(const Case& c, const std::vector<uint8_t>& data) {
    return TextureImage{c.width, c.height, c.flags, c.format, c.images, data};
}

uint64_t imageBytes(const Case& c) { return uint64_t(c.width) * uint64_t(c.height) * c.bitsPerPixel / 8; }

// Image `index` as the 8-bit writers decode it, red first.
std::vector<uint8_t> decodedPixels(const Case& c, const TextureImage& t, uint32_t index, uint32_t& channels) {
    const RowLayout layout = rowLayout(t.pixelFormat, (t.textureFlags & TwoChannel) != 0, c.bitsPerPixel);
    const RowGeometry g = rowGeometry(t, layout, c.bitsPerPixel);
    channels = g.outputBytesPerPixel;
    std::vector<uint8_t> row(static_cast<std::size_t>(g.outputRowBytes));
    std::vector<uint8_t> pixels;
    forEachRow(t, layout, g, index, row, [&](std::span<const uint8_t> rows) {
        pixels.insert(pixels.end(), rows.begin(), rows.end());
        return true;
    });
    pixels.resize(std::size_t(c.width) * std::size_t(c.height) * channels);
    if (channels > 1) {
        for (std::size_t i = 0; i < pixels.size(); i += channels) std::swap(pixels[i], pixels[i + 2]);
    }
    return pixels;
}

std::vector<MemoryFile> written(ImageType type, const Case& c, const TextureImage& t, bool uncompressed = false) {
    ImageOutput output("", ImageOutput::Placing::InMemory);
    switch (type) {
        case ImageType::Tga: writeTga("p", t, c.bitsPerPixel, uncompressed, output); break;
        case ImageType::Png: writePng("p", t, c.bitsPerPixel, output); break;
        case ImageType::Dds: writeDds("p", t, c.bitsPerPixel, false, 1, output); break;
        case ImageType::Hdr: writeRadiance("p", t, false, uncompressed, output); break;
        case ImageType::Exr: writeExr("p", t, false, output); break;
    }
    return std::move(output.memoryFiles());
}

class EightBitPictures : public ::testing::TestWithParam<Case> {};

TEST_P(EightBitPictures, ReadBackToTheDecodedPixels) {
    const Case& c = GetParam();
    const std::vector<uint8_t> data = noise(static_cast<std::size_t>(imageBytes(c)) * c.images, 11);
    const TextureImage t = texture(c, data);
    struct Written {
        const char* what;
        std::vector<MemoryFile> files;
    };
    const Written kinds[] = {{"tga", written(ImageType::Tga, c, t)},
                             {"tga -u", written(ImageType::Tga, c, t, true)},
                             {"png", written(ImageType::Png, c, t)},
                             {"dds", written(ImageType::Dds, c, t)}};
    for (const Written& kind : kinds) {
        SCOPED_TRACE(kind.what);
        std::vector<Image> images;
        for (const MemoryFile& file : kind.files) {
            Picture picture = readPicture(file.bytes, file.name);
            for (Image& image : picture.images) images.push_back(std::move(image));
        }
        ASSERT_EQ(images.size(), std::size_t(c.images));
        // A DDS file holds the stored blocks; two-channel BC3 blocks are
        // read back as the plain BC3 blocks they are.
        Case decoded = c;
        if (std::string(kind.what) == "dds" && c.format == PixelFormat::Bc3) decoded.flags = 0;
        const TextureImage decodedTexture = texture(decoded, data);
        for (uint32_t i = 0; i < images.size(); ++i) {
            uint32_t channels = 0;
            const std::vector<uint8_t> expected = decodedPixels(decoded, decodedTexture, i, channels);
            EXPECT_EQ(images[i].shape.width, uint32_t(c.width));
            EXPECT_EQ(images[i].shape.height, uint32_t(c.height));
            EXPECT_EQ(layoutChannels(images[i].shape.layout), channels);
            EXPECT_EQ(images[i].bytes, expected) << "image " << i;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, EightBitPictures, ::testing::ValuesIn(kEightBit),
                         [](const auto& param) { return std::string(param.param.name); });

TEST(DdsPictures, GiveTheStoredBlocksAndLevelsAsTheyAre) {
    // A BC1 texture of 8 x 8 with its whole chain (8, 4, 2, 1: 32 + 8 + 8 + 8 bytes).
    const Case c{"bc1_chain", PixelFormat::Bc1, 4, 0, 8, 8, 1};
    const std::vector<uint8_t> data = noise(56, 3);
    const TextureImage t = texture(c, data);
    ImageOutput output("", ImageOutput::Placing::InMemory);
    writeDds("p", t, 4, false, 4, output);
    const Picture picture = readPicture(output.memoryFiles().at(0).bytes, "p.dds");
    ASSERT_EQ(picture.stored.size(), 1u);
    const StoredLevels& stored = picture.stored[0];
    EXPECT_EQ(stored.format, "DXT1");
    ASSERT_EQ(stored.levels.size(), 4u);
    std::vector<uint8_t> joined;
    for (const StoredLevel& level : stored.levels) joined.insert(joined.end(), level.bytes.begin(), level.bytes.end());
    EXPECT_EQ(joined, data);
    EXPECT_EQ(stored.levels[1].width, 4u);
    EXPECT_EQ(stored.levels[3].height, 1u);
}

// The linear values the decoder gives, one image after the other.
std::vector<float> decodedHdr(const TextureImage& t, uint32_t index) {
    const HdrRowDecoder decoder(false);
    const std::size_t pixels = std::size_t(t.width) * std::size_t(t.height);
    std::vector<LinearRgb> linear(pixels);
    decoder.decodeRow(t.pixelData.subspan(index * pixels * 4, pixels * 4), linear, static_cast<uint32_t>(pixels));
    std::vector<float> values;
    for (const LinearRgb& v : linear) {
        values.push_back(static_cast<float>(v.red));
        values.push_back(static_cast<float>(v.green));
        values.push_back(static_cast<float>(v.blue));
    }
    return values;
}

// What a Radiance file of these values reads back as: each pixel's RGBE
// bytes, every non-zero mantissa standing for the middle of its interval.
std::vector<float> throughRgbe(const std::vector<float>& values) {
    std::vector<float> out;
    for (std::size_t i = 0; i < values.size(); i += 3) {
        const auto rgbe = encodeRgbe(values[i], values[i + 1], values[i + 2]);
        for (int c = 0; c < 3; ++c) {
            out.push_back(
                rgbe[3] == 0 || rgbe[std::size_t(c)] == 0
                    ? 0.0f
                    : static_cast<float>((rgbe[std::size_t(c)] + 0.5) * std::ldexp(1.0 / 255.0, rgbe[3] - 128)));
        }
    }
    return out;
}

TEST(HdrPictures, ReadBackToTheDecodedValues) {
    // 9 wide: Radiance rows may be run-length scanlines; two frames.
    for (const int32_t width : {9, 5}) {
        SCOPED_TRACE(width);
        const Case c{"hdr", PixelFormat::Hdr32, 32, 0, width, 4, 2};
        std::vector<uint8_t> data = noise(static_cast<std::size_t>(imageBytes(c)) * 2, 5);
        for (std::size_t i = 3; i < data.size(); i += 4) data[i] = static_cast<uint8_t>(120 + data[i] % 16);
        const TextureImage t = texture(c, data);
        for (const ImageType type : {ImageType::Hdr, ImageType::Exr, ImageType::Dds}) {
            for (const bool uncompressed : {false, true}) {
                const std::vector<MemoryFile> files = written(type, c, t, uncompressed);
                ASSERT_EQ(files.size(), 2u);
                for (uint32_t i = 0; i < 2; ++i) {
                    const Picture picture = readPicture(files[i].bytes, files[i].name);
                    ASSERT_EQ(picture.images.size(), 1u);
                    const Image& image = picture.images[0];
                    EXPECT_EQ(image.shape.layout, PixelLayout::RgbFloat);
                    const std::vector<float> exact = decodedHdr(t, i);
                    EXPECT_EQ(image.floats, type == ImageType::Hdr ? throughRgbe(exact) : exact)
                        << files[i].name << (uncompressed ? " -u" : "");
                }
            }
        }
    }
}

}  // namespace
}  // namespace lumenpull
