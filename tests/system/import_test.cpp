// --import through the real executable: the samples exported, edited and
// put back, then exported again; and the imports it refuses.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "lumenpull/error.h"
#include "pictures/picture.h"
#include "support/run_tool.h"
#include "support/temp_dir.h"
#include "writers/rgbe.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#define STBI_WRITE_NO_STDIO
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wconversion"
#pragma GCC diagnostic ignored "-Wshadow"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#endif
#include <stb_image_write.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace lumenpull {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

// The least PSNR (dB) of a block-coded texture's pictures against the edited
// ones: the encoder's loss (docs/performance.md has the figures measured).
const std::map<std::string, double> kLeastPsnr = {
    {"BC1", 30.0}, {"BC3", 30.0}, {"BC3-two-channel", 30.0}, {"BC5", 35.0}};

// Names the tool printed, as paths of this machine (the Windows build's
// separators are backslashes).
std::string local(std::string name) {
    if (test::runsWindowsBuild()) std::replace(name.begin(), name.end(), '\\', '/');
    return name;
}

void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Plain TGA, top row first, as an editor may save it.
void saveTga(const std::string& path, const Image& image) {
    const uint32_t channels = layoutChannels(image.shape.layout);
    std::vector<uint8_t> file(18, 0);
    file[2] = channels == 1 ? 3 : 2;
    file[12] = static_cast<uint8_t>(image.shape.width);
    file[13] = static_cast<uint8_t>(image.shape.width >> 8);
    file[14] = static_cast<uint8_t>(image.shape.height);
    file[15] = static_cast<uint8_t>(image.shape.height >> 8);
    file[16] = static_cast<uint8_t>(channels * 8);
    file[17] = 0x20;
    for (std::size_t i = 0; i < image.bytes.size(); i += channels) {
        if (channels == 1) {
            file.push_back(image.bytes[i]);
            continue;
        }
        file.insert(file.end(), {image.bytes[i + 2], image.bytes[i + 1], image.bytes[i]});
        if (channels == 4) file.push_back(image.bytes[i + 3]);
    }
    writeBytes(path, file);
}

void savePng(const std::string& path, const Image& image) {
    std::vector<uint8_t> file;
    const auto append = [](void* context, void* data, int size) {
        auto* out = static_cast<std::vector<uint8_t>*>(context);
        out->insert(out->end(), static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
    };
    const int channels = static_cast<int>(layoutChannels(image.shape.layout));
    ASSERT_TRUE(stbi_write_png_to_func(append, &file, static_cast<int>(image.shape.width),
                                       static_cast<int>(image.shape.height), channels, image.bytes.data(),
                                       static_cast<int>(image.shape.width) * channels));
    writeBytes(path, file);
}

// Flat Radiance rows with the writers' own RGBE rule.
void saveRadiance(const std::string& path, const Image& image) {
    std::ostringstream head;
    head << "#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n\n-Y " << image.shape.height << " +X " << image.shape.width << "\n";
    const std::string text = head.str();
    std::vector<uint8_t> file(text.begin(), text.end());
    for (uint32_t y = 0; y < image.shape.height; ++y) {
        for (uint32_t x = 0; x < image.shape.width; ++x) {
            const float* p = &image.floats[(std::size_t{y} * image.shape.width + x) * 3];
            std::array<uint8_t, 4> rgbe = encodeRgbe(p[0], p[1], p[2]);
            if (x == 0) unlikeScanlineHeader(rgbe);
            file.insert(file.end(), rgbe.begin(), rgbe.end());
        }
    }
    writeBytes(path, file);
}

// The edit: red and green inverted (blue and alpha kept, so that two-channel
// and grey textures can hold the result), high dynamic range halved.
void edit(Image& image) {
    const uint32_t channels = layoutChannels(image.shape.layout);
    for (std::size_t i = 0; i < image.bytes.size(); i += channels) {
        image.bytes[i] = static_cast<uint8_t>(255 - image.bytes[i]);
        if (channels > 1) image.bytes[i + 1] = static_cast<uint8_t>(255 - image.bytes[i + 1]);
    }
    for (float& value : image.floats) value *= 0.5f;
}

// The same edit on a DDS file's stored levels, all of them: blocks are
// inverted as bytes (any bytes are blocks), rows as pixels.
void editDds(const std::string& path) {
    std::vector<uint8_t> file = test::readFileBytes(path);
    const Picture picture = readPicture(file, path);
    const std::string& format = picture.stored.at(0).format;
    for (std::size_t at = 128; at < file.size();) {
        if (format == "RGBA32F") {
            for (int c = 0; c < 3; ++c, at += 4) {
                float value;
                std::memcpy(&value, &file[at], 4);
                value *= 0.5f;
                std::memcpy(&file[at], &value, 4);
            }
            at += 4;
        } else if (format == "R8G8B8" || format == "A8R8G8B8") {
            file[at + 1] = static_cast<uint8_t>(255 - file[at + 1]);
            file[at + 2] = static_cast<uint8_t>(255 - file[at + 2]);
            at += format == "R8G8B8" ? 3 : 4;
        } else {
            file[at] = static_cast<uint8_t>(255 - file[at]);
            ++at;
        }
    }
    writeBytes(path, file);
}

double psnr(const Image& a, const Image& b) {
    double squares = 0;
    for (std::size_t i = 0; i < a.bytes.size(); ++i) {
        const double d = double(a.bytes[i]) - double(b.bytes[i]);
        squares += d * d;
    }
    if (squares == 0) return 99.0;
    return 10.0 * std::log10(255.0 * 255.0 * double(a.bytes.size()) / squares);
}

class Import : public ::testing::Test {
protected:
    void SetUp() override {
#ifndef LUMENPULL_MAKE_SAMPLES
        GTEST_SKIP() << "the sample maker is not built";
#else
        std::string command;
#ifdef LUMENPULL_EXE_EMULATOR
        command = std::string(LUMENPULL_EXE_EMULATOR) + " ";
#endif
        command += std::string(LUMENPULL_MAKE_SAMPLES) + " \"" + (dir_ / "s") + "\" > /dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0);
#endif
    }

    test::ToolRun run(const std::vector<std::string>& arguments) const {
        return test::runLumenpull(arguments, dir_.path().string());
    }
    std::string path(const std::string& name) const { return dir_ / name; }

    // Every report line of an import, with the file it names.
    static std::vector<std::string> lines(const std::string& output) {
        std::vector<std::string> all;
        std::istringstream in(output);
        for (std::string line; std::getline(in, line);) all.push_back(line);
        return all;
    }

    test::TempDir dir_;
};

class ImportRoundTrip : public Import, public ::testing::WithParamInterface<const char*> {};

TEST_P(ImportRoundTrip, UnchangedWritesNothingAndEditsComeBack) {
    const std::string types = GetParam();
    const auto exported = run({"-r", "-o", "edited", "-t", types, "s"});
    ASSERT_EQ(exported.exitCode, 0) << exported.output;

    // Unchanged pictures change nothing, and nothing is written.
    const auto unchanged = run({"--import", "edited", "-o", "patched", "-r", "-t", types, "s"});
    ASSERT_EQ(unchanged.exitCode, 0);
    for (const std::string& line : lines(unchanged.output)) {
        EXPECT_TRUE(line.ends_with(": 0 texture(s) replaced")) << line;
    }
    EXPECT_FALSE(fs::exists(path("patched")));

    // Every picture edited in its own type, and each picture's format noted.
    const auto listing = run({"-l", "--json", "-r", "-o", "edited", "-t", types, "s"});
    std::map<std::string, std::string> formatOf;        // picture -> texture format
    std::map<std::string, std::size_t> editedTextures;  // resource file -> textures with an edited picture
    std::istringstream in(listing.output);
    for (std::string line; std::getline(in, line);) {
        const Json file = Json::parse(line);
        std::size_t& edited = editedTextures[file["file"]];
        for (const Json& texture : file.value("list", Json::array())) {
            bool any = false;
            for (const Json& name : texture["names"]) {
                formatOf[local(name)] = texture["format"];
                any = any || !std::string(name).ends_with(".exr");
            }
            if (any) ++edited;
        }
    }
    ASSERT_FALSE(formatOf.empty());
    std::map<std::string, std::vector<uint8_t>> editedFiles;
    for (const auto& [name, format] : formatOf) {
        const std::string file = path(name);
        const std::string extension = fs::path(name).extension().string();
        if (extension == ".exr") continue;
        if (extension == ".dds") {
            editDds(file);
        } else {
            Picture picture = readPictureFile(file);
            edit(picture.images.at(0));
            if (extension == ".tga") saveTga(file, picture.images[0]);
            if (extension == ".png") savePng(file, picture.images[0]);
            if (extension == ".hdr") saveRadiance(file, picture.images[0]);
        }
        editedFiles[name] = test::readFileBytes(file);
    }

    // Every texture with an edited picture is replaced, and only a file with one is written.
    const auto imported = run({"--import", "edited", "-o", "patched", "-r", "-j", "2", "-t", types, "--json", "s"});
    ASSERT_EQ(imported.exitCode, 0);
    for (const std::string& line : lines(imported.output)) {
        const Json file = Json::parse(line);
        SCOPED_TRACE(line);
        ASSERT_TRUE(file.contains("replaced"));
        const std::size_t edited = editedTextures.at(file["file"]);
        EXPECT_EQ(file["replaced"].size(), edited);
        EXPECT_EQ(file["written"].is_null(), edited == 0);
    }
    const auto again = run({"-r", "-o", "again", "-t", types, "patched/s"});
    ASSERT_EQ(again.exitCode, 0) << again.output;
    EXPECT_EQ(again.output.find("rror"), std::string::npos) << again.output;

    for (const auto& [name, bytes] : editedFiles) {
        SCOPED_TRACE(name);
        const std::string second = path("again" + name.substr(std::string("edited").size()));
        const std::string extension = fs::path(name).extension().string();
        const std::string& format = formatOf[name];
        if (extension == ".dds" && format != "HDR") {
            // Blocks and rows alike are taken as they are.
            EXPECT_TRUE(test::readFileBytes(second) == bytes);
            continue;
        }
        const Image wanted = readPicture(bytes, name).images.at(0);
        const Image got = readPictureFile(second).images.at(0);
        ASSERT_EQ(got.shape.width, wanted.shape.width);
        ASSERT_EQ(got.shape.layout, wanted.shape.layout);
        if (format == "HDR") {
            // Through the stored encoding: within its precision.
            for (std::size_t i = 0; i < wanted.floats.size(); ++i) {
                ASSERT_NEAR(got.floats[i], wanted.floats[i], std::abs(wanted.floats[i]) / 64 + 1e-6) << i;
            }
        } else if (kLeastPsnr.count(format)) {
            EXPECT_GE(psnr(got, wanted), kLeastPsnr.at(format)) << format;
        } else {
            EXPECT_TRUE(got.bytes == wanted.bytes) << format;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Types, ImportRoundTrip, ::testing::Values("tga", "png", "dds", "tga exr"),
                         [](const auto& param) {
                             std::string name = param.param;
                             std::replace(name.begin(), name.end(), ' ', '_');
                             return name;
                         });

TEST_F(Import, RefusesWhatCannotBePutBack) {
    const std::string texture = "s/colour/gradient_rgb.tex";
    ASSERT_EQ(run({"-o", "edited", texture}).exitCode, 0);
    ASSERT_EQ(run({"-o", "edited", "-t", "png", texture}).exitCode, 0);
    const std::string tga = path("edited/gradient_rgb.tga");
    const std::string png = path("edited/gradient_rgb.png");
    const Image original = readPictureFile(tga).images.at(0);
    const auto import = [&] { return run({"--import", "edited", "-o", "patched", texture}).output; };

    Image small;
    small.shape = {4, 4, PixelLayout::Rgb8};
    small.bytes.assign(48, 9);
    Image grey;
    grey.shape = {original.shape.width, original.shape.height, PixelLayout::Grey8};
    grey.bytes.assign(std::size_t{original.shape.width} * original.shape.height, 9);
    Image inverted = original;
    edit(inverted);
    Image other = original;
    other.bytes[0] = static_cast<uint8_t>(other.bytes[0] + 1);

    struct Refusal {
        const char* what;
        std::function<void()> make;
        std::string line;
    };
    const std::vector<uint8_t> whole = test::readFileBytes(tga);
    const std::vector<Refusal> refusals = {
        {"size", [&] { saveTga(tga, small); },
         "s/colour/gradient_rgb.tex: Image size 4x4 does not match the texture's 128x128: edited/gradient_rgb.tga"},
        {"channels", [&] { saveTga(tga, grey); },
         "s/colour/gradient_rgb.tex: Image has 1 channel(s) where the texture's have 3: edited/gradient_rgb.tga"},
        {"truncated", [&] { writeBytes(tga, std::vector<uint8_t>(whole.begin(), whole.begin() + 100)); },
         "s/colour/gradient_rgb.tex: edited/gradient_rgb.tga: Truncated TGA file"},
        {"two edits", [&] { saveTga(tga, inverted), savePng(png, other); },
         "s/colour/gradient_rgb.tex: Two different edited files for one image: edited/gradient_rgb.tga and "
         "edited/gradient_rgb.png"},
    };
    for (const Refusal& refusal : refusals) {
        SCOPED_TRACE(refusal.what);
        writeBytes(tga, whole);
        savePng(png, original);
        refusal.make();
        EXPECT_EQ(local(import()), refusal.line + "\n");
        EXPECT_FALSE(fs::exists(path("patched")));
    }
    // The same edit in both files is one edit.
    writeBytes(tga, whole);
    saveTga(tga, inverted);
    savePng(png, inverted);
    const auto listed = run({"--import", "edited", "-o", "patched", "-l", texture});
    EXPECT_TRUE(listed.output.ends_with("\treplace\n")) << listed.output;
}

}  // namespace
}  // namespace lumenpull
