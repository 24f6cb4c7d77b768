#include "image/exr_writer.h"

#include <ImfChannelList.h>
#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <ImfInputFile.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "image/hdr_row.h"
#include "image_test_support.h"
#include "support/temp_dir.h"
#include "texture_fixture.h"

namespace lumenpull {
namespace {

using Bytes = std::vector<uint8_t>;
using test::TempDir;
using test::textureImage;

struct ExrImage {
    int width = 0;
    int height = 0;
    Imf::Compression compression = Imf::NO_COMPRESSION;
    std::vector<std::string> channels;  // "name:type"
    std::vector<float> rgb;
};

ExrImage readExr(const std::string& path) {
    Imf::InputFile in(path.c_str());
    ExrImage image;
    const Imath::Box2i window = in.header().dataWindow();
    image.width = window.max.x - window.min.x + 1;
    image.height = window.max.y - window.min.y + 1;
    image.compression = in.header().compression();
    for (auto c = in.header().channels().begin(); c != in.header().channels().end(); ++c) {
        image.channels.push_back(std::string(c.name()) + ":" + std::to_string(c.channel().type));
    }
    image.rgb.resize(std::size_t(image.width) * image.height * 3);
    Imf::FrameBuffer frame;
    const char* names[3] = {"R", "G", "B"};
    for (std::size_t c = 0; c < 3; ++c) {
        frame.insert(names[c], Imf::Slice::Make(Imf::FLOAT, &image.rgb[c], window, 3 * sizeof(float),
                                                3 * sizeof(float) * std::size_t(image.width)));
    }
    in.setFrameBuffer(frame);
    in.readPixels(window.min.y, window.max.y);
    return image;
}

std::vector<float> decodedFloats(const Bytes& data, uint32_t width, uint32_t rows, bool sharedExponent) {
    std::vector<float> values;
    std::vector<LinearRgb> row(width);
    for (uint32_t y = 0; y < rows; ++y) {
        HdrRowDecoder(sharedExponent)
            .decodeRow(std::span<const uint8_t>(data).subspan(std::min<std::size_t>(y * width * 4, data.size())), row,
                       width);
        for (const LinearRgb& p : row) {
            values.insert(values.end(),
                          {static_cast<float>(p.red), static_cast<float>(p.green), static_cast<float>(p.blue)});
        }
    }
    return values;
}

TEST(ExrWriterTest, FloatChannelsZipCompressedWithTheDecodedValues) {
    TempDir dir;
    struct Case {
        uint32_t width, height;
        bool sharedExponent;
    };
    const Case cases[] = {{300, 20, false}, {300, 20, true}, {1, 1, false}, {3, 5, true}, {17, 33, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.width << " x " << c.height << ", shared " << c.sharedExponent);
        const Bytes data = test::noiseBytes(std::size_t(c.width) * c.height * 4, c.width + c.height);
        EXPECT_EQ(writeExr(dir / "t", textureImage(12, int32_t(c.width), int32_t(c.height), data), c.sharedExponent),
                  1);
        const ExrImage image = readExr(dir / "t.exr");
        EXPECT_EQ(image.width, int(c.width));
        EXPECT_EQ(image.height, int(c.height));
        EXPECT_EQ(image.compression, Imf::ZIP_COMPRESSION);
        const std::string floatType = std::to_string(Imf::FLOAT);
        EXPECT_EQ(image.channels, (std::vector<std::string>{"B:" + floatType, "G:" + floatType, "R:" + floatType}));
        EXPECT_EQ(image.rgb, decodedFloats(data, c.width, c.height, c.sharedExponent));
    }
}

// One file per image, named as the other writers name them; short data
// gives fewer and lower images.
TEST(ExrWriterTest, ImagesAndShortData) {
    TempDir dir;
    const Bytes data = test::noiseBytes(2 * 4 * 3 * 4 + 4 * 4 + 1, 3);  // two images and two rows begun
    EXPECT_EQ(writeExr(dir / "f", textureImage(12, 4, 3, data, 6), false), 3);
    EXPECT_EQ(readExr(dir / "f_00.exr").height, 3);
    EXPECT_EQ(readExr(dir / "f_01.exr").height, 3);
    const ExrImage cut = readExr(dir / "f_02.exr");
    EXPECT_EQ(cut.height, 2);
    const Bytes rest(data.begin() + 2 * 48, data.end());
    EXPECT_EQ(cut.rgb, decodedFloats(rest, 4, 2, false));
    EXPECT_FALSE(std::filesystem::exists(dir / "f_03.exr"));
}

TEST(ExrWriterTest, RefusesWhatItCannotWrite) {
    TempDir dir;
    const Bytes data(64, 1);
    EXPECT_THROW(writeExr(dir / "t", textureImage(12, 4, 0, data), false), std::string);
    try {
        writeExr(dir / "missing/t", textureImage(12, 2, 2, data), false);
        ADD_FAILURE() << "no error";
    } catch (const std::string& text) {
        EXPECT_EQ(text.rfind("Error creating output file: ", 0), 0u) << text;
    }
    EXPECT_EQ(writeExr(dir / "t", textureImage(12, 2, 2, data, 0), false), 0);
}

}  // namespace
}  // namespace lumenpull
