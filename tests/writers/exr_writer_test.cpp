#include "writers/exr_writer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "decode/hdr_row.h"
#include "image_test_support.h"
#include "support/image_reader.h"
#include "support/temp_dir.h"
#include "texture_fixture.h"
#include "lumenpull/error.h"

namespace lumenpull {
namespace {

using Bytes = std::vector<uint8_t>;
using test::TempDir;
using test::textureImage;

// Codes as the file format stores them.
constexpr int kZipCompression = 3;
constexpr int kFloatChannel = 2;

struct ExrImage {
    int width = 0;
    int height = 0;
    int compression = -1;
    std::vector<std::string> channels;  // "name:type", in stored order
    std::vector<float> rgb;
};

// The header fields are taken from the file's bytes (attributes: name, type
// name, 32-bit size, value; a channel: name, type, linear flag, three
// reserved bytes, two sampling rates); the pixels come from OpenCV, a reader
// independent of the writer's library.
ExrImage readExr(const std::string& path) {
    const std::vector<uint8_t> file = test::readFileBytes(path);
    std::size_t at = 8;  // magic number and version
    const auto text = [&]() {
        std::string value;
        for (; at < file.size() && file[at] != 0; ++at) value += char(file[at]);
        if (at++ >= file.size()) throw std::runtime_error("header cut short in " + path);
        return value;
    };
    const auto int32 = [&](std::size_t offset) {
        if (offset + 4 > file.size()) throw std::runtime_error("header cut short in " + path);
        int32_t value;
        std::memcpy(&value, file.data() + offset, 4);
        return int(value);
    };
    ExrImage image;
    for (std::string name = text(); !name.empty(); name = text()) {
        text();  // the type name
        const auto size = std::size_t(int32(at));
        at += 4;
        const std::size_t end = at + size;
        if (name == "compression") image.compression = file.at(at);
        if (name == "channels") {
            for (std::string channel = text(); !channel.empty(); channel = text()) {
                image.channels.push_back(channel + ":" + std::to_string(int32(at)));
                at += 16;
            }
        }
        at = end;
    }
    const test::ReadImage pixels = test::readExrWithOpenCv(path);
    image.width = pixels.width;
    image.height = pixels.height;
    image.rgb = pixels.rgb;
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
        EXPECT_EQ(image.compression, kZipCompression);
        const std::string floatType = std::to_string(kFloatChannel);
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
    EXPECT_THROW(writeExr(dir / "t", textureImage(12, 4, 0, data), false), lumenpull::Error);
    try {
        writeExr(dir / "missing/t", textureImage(12, 2, 2, data), false);
        ADD_FAILURE() << "no error";
    } catch (const lumenpull::Error& caught) {
        const std::string text = caught.what();
        EXPECT_EQ(text.rfind("Error creating output file: ", 0), 0u) << text;
    }
    EXPECT_EQ(writeExr(dir / "t", textureImage(12, 2, 2, data, 0), false), 0);
}

}  // namespace
}  // namespace lumenpull
