// Decoded pixels and written files of the library against the files the
// tool writes for the same textures: the same bytes, the same pixels.

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <sstream>

#include "api_samples.h"
#include "lumenpull/lumenpull.h"
#include "support/run_tool.h"

namespace lumenpull {
namespace {

namespace fs = std::filesystem;

// Every file below `folder`, by its path relative to it.
std::map<std::string, std::vector<uint8_t>> filesBelow(const fs::path& folder) {
    std::map<std::string, std::vector<uint8_t>> files;
    if (!fs::exists(folder)) return files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) {
            files[fs::relative(entry.path(), folder).generic_string()] = test::readFileBytes(entry.path().string());
        }
    }
    return files;
}

std::string stem(const std::string& name) { return fs::path(name).stem().string(); }

// One run of the tool into a folder of its own, and the types the library
// writes for the same files.
struct ToolKeys {
    std::string folder;
    std::vector<std::string> keys;
    FileType eightBit;
    FileType highDynamicRange;
    bool uncompressed;
};

const std::vector<ToolKeys>& runs() {
    static const std::vector<ToolKeys> all = {
        {"default", {}, FileType::Tga, FileType::Hdr, false},
        {"plain", {"-u"}, FileType::Tga, FileType::Hdr, true},
        {"png", {"-t", "png exr"}, FileType::Png, FileType::Exr, false},
        {"dds", {"-t", "dds"}, FileType::Dds, FileType::Dds, false},
    };
    return all;
}

bool isHighDynamicRange(const Texture& texture) { return texture.info().highDynamicRange; }

class ApiPixels : public ::testing::Test {
protected:
    void SetUp() override {
        names_ = test::writeApiSamples(dir_);
        for (const ToolKeys& run : runs()) {
            for (const std::string& name : names_) {
                std::vector<std::string> arguments = run.keys;
                arguments.insert(arguments.end(), {"-o", "tool-" + run.folder, name});
                test::runLumenpull(arguments, dir_.path().string());
            }
        }
    }

    test::TempDir dir_;
    std::vector<std::string> names_;
};

TEST_F(ApiPixels, SavedFilesAreTheToolsByteForByte) {
    for (const ToolKeys& run : runs()) {
        SCOPED_TRACE(run.folder);
        for (const std::string& name : names_) {
            const Resource resource = Resource::open(dir_ / name);
            for (const Texture& texture : resource.textures()) {
                const TextureInfo& info = texture.info();
                if (info.rejected || info.withoutPixels) continue;
                const std::string imageName = (dir_ / ("api-" + run.folder + "/")) + stem(name) +
                                              (info.number ? "_" + std::to_string(*info.number) : "");
                fs::create_directories(fs::path(imageName).parent_path());
                const FileType type = isHighDynamicRange(texture) ? run.highDynamicRange : run.eightBit;
                try {
                    texture.save(imageName, type, WriteOptions{run.uncompressed});
                } catch (const Error& error) {
                    // A picture the type cannot hold ends the tool's file too.
                    ADD_FAILURE() << name << ": " << error.what();
                }
            }
        }
        const auto tool = filesBelow(dir_.path() / ("tool-" + run.folder));
        const auto api = filesBelow(dir_.path() / ("api-" + run.folder));
        EXPECT_FALSE(tool.empty());
        ASSERT_EQ(tool.size(), api.size());
        for (const auto& [file, bytes] : tool) {
            ASSERT_TRUE(api.count(file)) << file;
            EXPECT_EQ(bytes, api.at(file)) << file;
        }
    }
}

// Each image alone, to memory, to a stream and to a path: the file the tool
// writes for it (DDS: the one face or frame, with its levels).
TEST_F(ApiPixels, EachImageEncodesAsTheToolsFile) {
    dir_.makeDir("each");
    for (const ToolKeys& run : runs()) {
        SCOPED_TRACE(run.folder);
        for (const std::string& name : names_) {
            const Resource resource = Resource::fromMemory(test::readFileBytes(dir_ / name));
            for (const Texture& texture : resource.textures()) {
                const TextureInfo& info = texture.info();
                if (info.rejected || info.withoutPixels) continue;
                const FileType type = isHighDynamicRange(texture) ? run.highDynamicRange : run.eightBit;
                const WriteOptions options{run.uncompressed};
                const std::vector<std::string> saved = texture.save(
                    (dir_ / "each/") + stem(name) + std::to_string(info.number.value_or(0)), type, options);
                const int32_t images = texture.availableImages();
                const bool cubeMap = saved.size() == 1 && images == 6;
                ASSERT_EQ(static_cast<int32_t>(saved.size()), cubeMap ? 1 : images);
                for (int32_t i = 0; i < images; ++i) {
                    SCOPED_TRACE(name + " image " + std::to_string(i));
                    const std::vector<uint8_t> encoded = texture.encode(i, type, options);
                    if (!cubeMap) {
                        EXPECT_EQ(encoded, test::readFileBytes(saved[static_cast<std::size_t>(i)]));
                    }
                    std::ostringstream stream;
                    texture.write(i, type, stream, options);
                    EXPECT_EQ(stream.str(), std::string(encoded.begin(), encoded.end()));
                    texture.write(i, type, dir_ / "one", options);
                    EXPECT_EQ(test::readFileBytes(dir_ / "one"), encoded);
                    if (type != FileType::Dds) continue;
                    // The levels are the file's bytes after its header; in a
                    // cube map each face's levels follow those before.
                    std::vector<uint8_t> levels;
                    for (const StoredLevel& level : texture.storedLevels(i).levels) {
                        levels.insert(levels.end(), level.bytes.begin(), level.bytes.end());
                    }
                    const std::vector<uint8_t> file =
                        test::readFileBytes(saved[cubeMap ? 0 : static_cast<std::size_t>(i)]);
                    const std::size_t start = 128 + (cubeMap ? static_cast<std::size_t>(i) * levels.size() : 0);
                    ASSERT_LE(start + levels.size(), file.size());
                    EXPECT_TRUE(
                        std::equal(levels.begin(), levels.end(), file.begin() + static_cast<std::ptrdiff_t>(start)));
                    EXPECT_EQ(cubeMap ? 128 + 6 * levels.size() : 128 + levels.size(), file.size());
                }
                EXPECT_THROW(texture.encode(images, type, options), Error);
                EXPECT_THROW(texture.encode(-1, type, options), Error);
            }
        }
    }
}

// The uncompressed TGA file's pixels (blue, green, red order) as red,
// green, blue: what the library's 8-bit images hold.
Image tgaPixels(const std::vector<uint8_t>& file) {
    Image image;
    image.shape.width = file.at(12) | uint32_t{file.at(13)} << 8;
    image.shape.height = file.at(14) | uint32_t{file.at(15)} << 8;
    const uint32_t channels = file.at(16) / 8u;
    image.shape.layout = channels == 1 ? PixelLayout::Grey8 : channels == 3 ? PixelLayout::Rgb8 : PixelLayout::Rgba8;
    image.bytes.assign(file.begin() + 18, file.end());
    for (std::size_t at = 0; channels > 1 && at + channels <= image.bytes.size(); at += channels) {
        std::swap(image.bytes[at], image.bytes[at + 2]);
    }
    return image;
}

// The float red, green and blue of a DDS file's largest level (red, green,
// blue, alpha floats).
std::vector<float> ddsFloats(const std::vector<uint8_t>& file, uint32_t width, uint32_t height) {
    std::vector<float> rgb;
    for (std::size_t pixel = 0; pixel < std::size_t{width} * height; ++pixel) {
        float values[4];
        std::memcpy(values, file.data() + 128 + pixel * 16, 16);
        rgb.insert(rgb.end(), values, values + 3);
    }
    return rgb;
}

TEST_F(ApiPixels, DecodedImagesHoldThePixelsOfTheToolsFiles) {
    for (const std::string& name : names_) {
        const Resource resource = Resource::open(dir_ / name);
        for (const Texture& texture : resource.textures()) {
            const TextureInfo& info = texture.info();
            if (info.rejected || info.withoutPixels) {
                EXPECT_THROW(texture.image(0), Error);
                continue;
            }
            const bool hdr = isHighDynamicRange(texture);
            const std::vector<Image> all = texture.images();
            ASSERT_EQ(static_cast<int32_t>(all.size()), texture.availableImages());
            for (int32_t i = 0; i < texture.availableImages(); ++i) {
                SCOPED_TRACE(name + " image " + std::to_string(i));
                const Image image = texture.image(i);
                EXPECT_EQ(image.bytes, all[static_cast<std::size_t>(i)].bytes);
                EXPECT_EQ(image.floats, all[static_cast<std::size_t>(i)].floats);
                if (hdr) {
                    const std::vector<uint8_t> file = texture.encode(i, FileType::Dds);
                    EXPECT_EQ(image.floats, ddsFloats(file, image.shape.width, image.shape.height));
                    EXPECT_TRUE(image.bytes.empty());
                } else {
                    const Image fromFile = tgaPixels(texture.encode(i, FileType::Tga, WriteOptions{true}));
                    EXPECT_EQ(image.shape.width, fromFile.shape.width);
                    EXPECT_EQ(image.shape.height, fromFile.shape.height);
                    EXPECT_EQ(image.shape.layout, fromFile.shape.layout);
                    EXPECT_EQ(image.bytes, fromFile.bytes);
                    EXPECT_TRUE(image.floats.empty());
                }
                // Into a buffer of the caller's: the same pixels, the rest untouched.
                const ImageShape full = texture.fullShape();
                if (hdr) {
                    std::vector<float> buffer(static_cast<std::size_t>(full.values()) + 1, -1.0f);
                    EXPECT_EQ(texture.decode(i, buffer).height, image.shape.height);
                    EXPECT_TRUE(std::equal(image.floats.begin(), image.floats.end(), buffer.begin()));
                    EXPECT_EQ(buffer.back(), -1.0f);
                    EXPECT_THROW(texture.decode(i, std::span<uint8_t>()), Error);
                } else {
                    std::vector<uint8_t> buffer(static_cast<std::size_t>(full.values()) + 1, 0xEE);
                    EXPECT_EQ(texture.decode(i, buffer).height, image.shape.height);
                    EXPECT_TRUE(std::equal(image.bytes.begin(), image.bytes.end(), buffer.begin()));
                    EXPECT_EQ(buffer.back(), 0xEE);
                    buffer.resize(static_cast<std::size_t>(full.values()) - 1);
                    EXPECT_THROW(texture.decode(i, buffer), Error);
                }
            }
        }
    }
}

}  // namespace
}  // namespace lumenpull
