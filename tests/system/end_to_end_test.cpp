// The whole tool, run as a process on files made by the test-side writers,
// with the images it writes read back by independent readers.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "writers/exr_writer.h"
#include "decode/hdr_row.h"
#include "pixels/texture_image.h"
#include "stream/tag.h"
#include "support/container_writer.h"
#include "support/image_reader.h"
#include "support/pixel_data_writer.h"
#include "support/resource_writer.h"
#include "support/run_tool.h"
#include "support/temp_dir.h"

namespace lumenpull {
namespace {

using test::ContainerKind;
using test::ResourceBuilder;
using test::standardFile;
using test::TextureClass;
using test::TextureFields;
using test::textureFields;

constexpr uint32_t kSixFaces = 0x2;

// RGBA as a reader gives it for an opaque 24-bit image of `image`.
std::vector<uint8_t> opaque(const test::RgbaImage& image) {
    std::vector<uint8_t> rgba = image.rgba;
    for (size_t i = 3; i < rgba.size(); i += 4) rgba[i] = 255;
    return rgba;
}

// The floats a high-dynamic-range image decodes to, row by row, red, green, blue.
std::vector<float> decodedFloats(std::span<const uint8_t> stored, uint32_t width, uint32_t height,
                                 bool sharedExponent) {
    std::vector<float> values;
    std::vector<LinearRgb> row(width);
    for (size_t y = 0; y < height; ++y) {
        HdrRowDecoder(sharedExponent).decodeRow(stored.subspan(y * width * 4), row, width);
        for (const LinearRgb& p : row) values.insert(values.end(), {float(p.red), float(p.green), float(p.blue)});
    }
    return values;
}

class EndToEnd : public ::testing::TestWithParam<ContainerKind> {
protected:
    void save(const std::string& name, const ResourceBuilder& file, ContainerKind kind) const {
        dir_.writeFile(name, test::wrapPayload(kind, file.payload()));
    }
    void save(const std::string& name, const ResourceBuilder& file) const { save(name, file, GetParam()); }

    // Runs the tool in the scratch folder, so every path is relative.
    test::ToolRun run(const std::vector<std::string>& arguments) const {
        return test::runLumenpull(arguments, dir_.path().string());
    }
    bool exists(const std::string& name) const { return std::filesystem::exists(dir_.path() / name); }
    std::string path(const std::string& name) const { return dir_ / name; }
    std::vector<uint8_t> bytesOf(const std::string& name) const { return test::readFileBytes(dir_ / name); }

    void expectPicture(const std::string& name, const std::string& mode, const test::RgbaImage& picture,
                       const std::vector<uint8_t>& rgba) const {
        const test::ReadImage image = test::readWithPillow(path(name));
        EXPECT_EQ(image.mode, mode) << name;
        EXPECT_EQ(image.width, picture.width) << name;
        EXPECT_EQ(image.height, picture.height) << name;
        EXPECT_TRUE(image.rgba == rgba) << name << ": pixels differ";
    }

    test::TempDir dir_;
};

INSTANTIATE_TEST_SUITE_P(Containers, EndToEnd,
                         ::testing::Values(ContainerKind::Plain, ContainerKind::Work, ContainerKind::Signed),
                         [](const auto& instance) { return test::containerKindName(instance.param); });

TEST_P(EndToEnd, CompressedTextureWithMipsBecomesOneImage) {
    const auto picture = test::makeColourWheel(16, 8);
    const auto chain = test::buildMipChain(test::storeBgra(picture), 1, test::smallerMipLevelsSize(16, 8, 32), 0);
    ResourceBuilder file = standardFile();
    file.addTexture(TextureClass::Static, textureFields(16, 8, 3, test::compressZlib(chain)));
    save("wheel.tex", file);

    const auto result = run({"wheel.tex"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.output, "wheel.tex: 1 texture(s) converted into 1 image(s)\n");
    expectPicture("wheel.tga", "RGBA", picture, picture.rgba);
}

TEST_P(EndToEnd, SeveralTexturesAreNumberedWithFacesAndFrames) {
    const auto picture = test::makeGradient(8, 4);
    const auto stored = test::storeBgra(picture);
    std::vector<uint8_t> sixFaces, threeFrames;
    for (int i = 0; i < 6; ++i) sixFaces.insert(sixFaces.end(), stored.begin(), stored.end());
    for (int i = 0; i < 3; ++i) threeFrames.insert(threeFrames.end(), stored.begin(), stored.end());

    ResourceBuilder file = standardFile();
    file.addStaticTexture(8, 4, 0, 2, stored);
    TextureFields cube = textureFields(8, 4, 2, sixFaces);
    cube.flags = kSixFaces;
    file.addTexture(TextureClass::DynamicLightStatic, cube);
    TextureFields anim = textureFields(8, 4, 2, threeFrames);
    anim.frameCount = 3;
    file.addTexture(TextureClass::Anim, anim, /*edited=*/true);
    save("set.tex", file);

    const auto result = run({"set.tex"});
    EXPECT_EQ(result.output, "set.tex: 3 texture(s) converted into 10 image(s)\n");
    expectPicture("set_0.tga", "RGB", picture, opaque(picture));
    for (const char* name : {"set_1_00.tga", "set_1_05.tga", "set_2_00.tga", "set_2_02.tga"}) {
        expectPicture(name, "RGB", picture, opaque(picture));
    }
    EXPECT_FALSE(exists("set_1_06.tga"));
    EXPECT_FALSE(exists("set_2_03.tga"));
    EXPECT_FALSE(exists("set.tga"));
}

uint32_t fileWord(const std::vector<uint8_t>& bytes, size_t at) {
    return bytes.size() < at + 4 ? 0
                                 : uint32_t{bytes[at]} | uint32_t{bytes[at + 1]} << 8 | uint32_t{bytes[at + 2]} << 16 |
                                       uint32_t{bytes[at + 3]} << 24;
}

// -t dds: stored blocks and their chain kept, a cube in one file, frames
// one file each, and the report counts images as always.
TEST_P(EndToEnd, DdsFilesKeepBlocksChainsAndCubes) {
    const auto picture = test::makeGradient(32, 16);
    const auto blocks = test::encodeBc1(picture);
    const auto chain = test::buildMipChain(blocks, 1, test::smallerMipLevelsSize(32, 16, 4), 0);
    const auto face = test::storeBgra(test::makeColourWheel(8, 4));
    std::vector<uint8_t> sixFaces, twoFrames;
    for (int i = 0; i < 6; ++i) sixFaces.insert(sixFaces.end(), face.begin(), face.end());
    for (int i = 0; i < 2; ++i) twoFrames.insert(twoFrames.end(), face.begin(), face.end());

    ResourceBuilder file = standardFile();
    file.addTexture(TextureClass::Static, textureFields(32, 16, 9, test::compressZlib(chain)));
    TextureFields cube = textureFields(8, 4, 3, sixFaces);
    cube.flags = kSixFaces;
    file.addTexture(TextureClass::DynamicLightStatic, cube);
    TextureFields anim = textureFields(8, 4, 3, twoFrames);
    anim.frameCount = 2;
    file.addTexture(TextureClass::Anim, anim, /*edited=*/true);
    save("set.tex", file);

    const auto result = run({"-t", "dds", "set.tex"});
    EXPECT_EQ(result.output, "set.tex: 3 texture(s) converted into 9 image(s)\n");
    const auto first = bytesOf("set_0.dds");
    EXPECT_EQ(fileWord(first, 28), 6u);  // 32 x 16 down to 1 x 1
    EXPECT_EQ(std::vector<uint8_t>(first.begin() + std::min<size_t>(128, first.size()), first.end()), chain);
    const auto cubeFile = bytesOf("set_1.dds");
    EXPECT_EQ(fileWord(cubeFile, 112), 0xFE00u);
    EXPECT_EQ(cubeFile.size(), 128 + sixFaces.size());
    EXPECT_TRUE(exists("set_2_00.dds") && exists("set_2_01.dds"));
    EXPECT_FALSE(exists("set_1_00.dds") || exists("set_0.tga"));
    // Pillow reads the largest level as the TGA has it, and the first face of the cube.
    EXPECT_EQ(run({"set.tex"}).exitCode, 0);
    const test::ReadImage tga = test::readWithPillow(path("set_0.tga"));
    const test::ReadImage dds = test::readWithPillow(path("set_0.dds"));
    EXPECT_EQ(dds.width, 32);
    EXPECT_TRUE(dds.rgba == tga.rgba) << "BC1 pixels differ";
    const auto wheel = test::makeColourWheel(8, 4);
    expectPicture("set_1.dds", "RGBA", wheel, wheel.rgba);
}

// -t "png exr": one type for each kind of texture.
TEST_P(EndToEnd, PngAndExrTogether) {
    const auto picture = test::makeCheckerboard(8, 8, 2);
    std::vector<uint8_t> hdr(5 * 3 * 4);
    for (size_t i = 0; i < hdr.size(); ++i) hdr[i] = static_cast<uint8_t>(i * 37 + 11);
    ResourceBuilder file = standardFile();
    file.addTexture(TextureClass::Static, textureFields(8, 8, 3, test::storeBgra(picture)));
    file.addTexture(TextureClass::Static, textureFields(5, 3, 12, hdr));
    save("pair.tex", file);

    EXPECT_EQ(run({"-t", "png exr", "pair.tex"}).output, "pair.tex: 2 texture(s) converted into 2 image(s)\n");
    expectPicture("pair_0.png", "RGBA", picture, picture.rgba);
    const test::ReadImage image = test::readExrWithOpenCv(path("pair_1.exr"));
    ASSERT_EQ(image.width, 5);
    ASSERT_EQ(image.height, 3);
    EXPECT_EQ(image.rgb, decodedFloats(hdr, 5, 3, false));
}

// -t exr on a high-dynamic-range cube (one file per face) and on a
// shared-exponent texture taller than one compressed chunk of 16 rows, in
// two input files converted by one job and by two. Each file holds the
// decoded floats, and is byte for byte the file the writer makes in this
// process: the Windows build compiles the same library and compressor.
TEST_P(EndToEnd, ExrFilesHoldTheDecodedFloats) {
    std::vector<uint8_t> faces(6 * 5 * 3 * 4), tall(7 * 20 * 4);
    for (size_t i = 0; i < faces.size(); ++i) faces[i] = static_cast<uint8_t>(i * 53 + 7);
    for (size_t i = 0; i < tall.size(); ++i) tall[i] = static_cast<uint8_t>(i * 29 + 3);
    ResourceBuilder cubeFile = standardFile();
    TextureFields cube = textureFields(5, 3, 12, faces);
    cube.flags = kSixFaces;
    cubeFile.addTexture(TextureClass::DynamicLightStatic, cube);
    save("room.tex", cubeFile);
    ResourceBuilder tallFile = standardFile();
    TextureFields shared = textureFields(7, 20, 12);
    shared.trailing = test::TrailingPixels{0x0100, tall, std::nullopt};
    tallFile.addTexture(TextureClass::Static, shared);
    save("tower.tex", tallFile);

    struct Image {
        std::string name;
        std::span<const uint8_t> stored;
        uint32_t width, height;
        bool sharedExponent;
    };
    std::vector<Image> images;
    for (size_t face = 0; face < 6; ++face) {
        const std::string name = "room_0" + std::to_string(face) + ".exr";
        images.push_back({name, std::span<const uint8_t>(faces).subspan(face * 60, 60), 5, 3, false});
    }
    images.push_back({"tower.exr", tall, 7, 20, true});
    const test::TempDir reference;
    for (const Image& image : images) {
        TextureImage texture;
        texture.width = int32_t(image.width);
        texture.height = int32_t(image.height);
        texture.pixelFormat = PixelFormat::Hdr32;
        texture.imageCount = 1;
        texture.pixelData = image.stored;
        writeExr(reference / image.name.substr(0, image.name.size() - 4), texture, image.sharedExponent);
    }

    for (const std::vector<std::string>& jobs : {std::vector<std::string>{}, std::vector<std::string>{"-j", "2"}}) {
        SCOPED_TRACE(jobs.empty() ? "one job" : "two jobs");
        for (const Image& image : images) std::filesystem::remove(path(image.name));
        std::vector<std::string> arguments = jobs;
        arguments.insert(arguments.end(), {"-t", "exr", "room.tex", "tower.tex"});
        EXPECT_EQ(run(arguments).output,
                  "room.tex: 1 texture(s) converted into 6 image(s)\n"
                  "tower.tex: 1 texture(s) converted into 1 image(s)\n");
        for (const Image& image : images) {
            SCOPED_TRACE(image.name);
            EXPECT_TRUE(bytesOf(image.name) == test::readFileBytes(reference / image.name));
            if (!jobs.empty()) continue;  // the same bytes as the first run: read back once
            const test::ReadImage read = test::readExrWithOpenCv(path(image.name));
            EXPECT_EQ(read.width, int(image.width));
            EXPECT_EQ(read.height, int(image.height));
            EXPECT_EQ(read.rgb, decodedFloats(image.stored, image.width, image.height, image.sharedExponent));
        }
    }
}

TEST_P(EndToEnd, TrailingPixelBlocksWithBothLayoutWords) {
    const auto first = test::makeCheckerboard(8, 8, 2);
    const auto second = test::makeGradient(8, 8);
    const size_t smaller = test::smallerMipLevelsSize(8, 8, 32);
    ResourceBuilder file = standardFile();
    TextureFields largestLast = textureFields(8, 8, 3);
    largestLast.trailing =
        test::TrailingPixels{0x0100, test::buildMipChain(test::storeBgra(first), 1, smaller, 0x0100), std::nullopt};
    file.addTexture(TextureClass::Static, largestLast);
    TextureFields largestFirst = textureFields(8, 8, 3);
    largestFirst.trailing = test::TrailingPixels{
        0x0000, test::compressZlib(test::buildMipChain(test::storeBgra(second), 1, smaller, 0)), std::nullopt};
    file.addTexture(TextureClass::Color, largestFirst);
    save("pair.tex", file);

    EXPECT_EQ(run({"pair.tex"}).output, "pair.tex: 2 texture(s) converted into 2 image(s)\n");
    expectPicture("pair_0.tga", "RGBA", first, first.rgba);
    expectPicture("pair_1.tga", "RGBA", second, second.rgba);
}

TEST_P(EndToEnd, HighDynamicRangeInBothEncodings) {
    // Exponent byte 128 scales by 2^(128 * 65793/524288 - 16) / 255; the
    // shared exponent 15 by 2^-9.
    const std::vector<uint8_t> exponentBytes = {0, 0, 255, 128, 255, 0, 0, 128};  // red, then blue
    const uint32_t word = 256u | 0u << 9 | 511u << 18 | 15u << 27;                // red 0.5, blue ~1
    const std::vector<uint8_t> shared = {uint8_t(word), uint8_t(word >> 8), uint8_t(word >> 16), uint8_t(word >> 24),
                                         uint8_t(word), uint8_t(word >> 8), uint8_t(word >> 16), uint8_t(word >> 24)};
    ResourceBuilder file = standardFile();
    file.addStaticTexture(2, 1, 0, 12, exponentBytes);
    TextureFields trailing = textureFields(2, 1, 12);
    trailing.trailing = test::TrailingPixels{0x0100, shared, std::nullopt};
    file.addTexture(TextureClass::Static, trailing);
    save("sky.tex", file);

    EXPECT_EQ(run({"sky.tex"}).output, "sky.tex: 2 texture(s) converted into 2 image(s)\n");
    const auto exponentImage = test::readHdrWithOpenCv(path("sky_0.hdr"));
    ASSERT_EQ(exponentImage.rgb.size(), 6u);
    const double unit = std::pow(2.0, 128 * 65793.0 / 524288.0 - 16.0);  // 255 × scale
    EXPECT_NEAR(exponentImage.rgb[0], unit, unit * 0.02);
    EXPECT_EQ(exponentImage.rgb[1], 0.0f);
    EXPECT_NEAR(exponentImage.rgb[5], unit, unit * 0.02);
    const auto sharedImage = test::readHdrWithOpenCv(path("sky_1.hdr"));
    ASSERT_EQ(sharedImage.rgb.size(), 6u);
    EXPECT_NEAR(sharedImage.rgb[0], 0.5, 0.01);
    EXPECT_NEAR(sharedImage.rgb[2], 511.0 / 512.0, 0.01);
}

TEST_P(EndToEnd, TextureWithoutPixelsIsSkippedAndNotNumbered) {
    const auto picture = test::makeGradient(4, 4);
    ResourceBuilder file = standardFile();
    file.addTexture(TextureClass::Static, textureFields(4, 4, 3));  // neither inline pixels nor a block
    file.addStaticTexture(4, 4, 0, 3, test::storeBgra(picture));
    save("gap.tex", file);

    EXPECT_EQ(run({"gap.tex"}).output, "gap.tex: 2 texture(s) converted into 1 image(s)\n");
    expectPicture("gap_0.tga", "RGBA", picture, picture.rgba);
    EXPECT_FALSE(exists("gap_1.tga"));
}

TEST_P(EndToEnd, RejectedFormatKeepsTheImagesWrittenBefore) {
    ResourceBuilder file = standardFile();
    file.addStaticTexture(4, 4, 0, 3, test::storeBgra(test::makeGradient(4, 4)));
    file.addStaticTexture(4, 4, 0, 13, std::vector<uint8_t>(64, 1));
    file.addStaticTexture(4, 4, 0, 3, test::storeBgra(test::makeGradient(4, 4)));
    save("mixed.tex", file);

    EXPECT_EQ(run({"mixed.tex"}).output, "mixed.tex: Invalid texture format 13\n");
    EXPECT_TRUE(exists("mixed_0.tga"));
    EXPECT_FALSE(exists("mixed_1.tga"));
}

TEST_P(EndToEnd, LegacyFileTranslatesItsFormatCodes) {
    const auto picture = test::makeColourWheel(8, 8);
    test::StandardTypeOptions options;
    options.versions.resource = 6;
    options.versions.baseTexture = 8;
    options.versions.staticTexture = 4;
    ResourceBuilder file(9);
    file.addStandardTypes(options);
    file.addStaticTexture(8, 8, 0, 0, test::storeBgr(picture));    // code 0: 24-bit colour in 3 bytes
    file.addStaticTexture(8, 8, 0, 4, test::storeBgra(picture));   // code 4: 32-bit colour with alpha
    file.addStaticTexture(8, 8, 0, 10, test::storeBgra(picture));  // code 10: rejected in legacy files
    save("old.rsc", file);

    EXPECT_EQ(run({"old.rsc"}).output, "old.rsc: Invalid texture format 10\n");
    expectPicture("old_0.tga", "RGB", picture, opaque(picture));
    expectPicture("old_1.tga", "RGBA", picture, picture.rgba);
}

TEST(EndToEndNames, NoBigNamesImagesAfterTheFileWithoutTheSuffix) {
    test::TempDir dir;
    ResourceBuilder file = standardFile();
    file.addStaticTexture(2, 2, 0, 3, std::vector<uint8_t>(16, 7));
    const auto bytes = file.payload();
    dir.writeFile("w--Big.tex", bytes);
    dir.writeFile("pack/a.tex", bytes);
    dir.writeFile("pack/a--Big.tex", bytes);

    auto result = test::runLumenpull({"w--Big.tex"}, dir.path().string());
    EXPECT_EQ(result.output, "w--Big.tex: 1 texture(s) converted into 1 image(s)\n");
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "w--Big.tga"));

    result = test::runLumenpull({"--nobig", "w--Big.tex"}, dir.path().string());
    EXPECT_EQ(result.output, "w--Big.tex: 1 texture(s) converted into 1 image(s)\n");
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "w.tga"));

    // In a walked folder the twin test leaves only the "--Big" file.
    const std::string sep(1, test::pathSeparator());
    result = test::runLumenpull({"--nobig", "pack"}, dir.path().string());
    EXPECT_EQ(result.output, "pack" + sep + "a--Big.tex: 1 texture(s) converted into 1 image(s)\n");
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "pack/a.tga"));
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "pack/a--Big.tga"));
}

TEST(EndToEndNames, MoreThan255TexturesKeepTheirCountAndNames) {
    test::TempDir dir;
    ResourceBuilder file = standardFile();
    for (int i = 0; i < 300; ++i) file.addStaticTexture(1, 1, 0, 7, {static_cast<uint8_t>(i), 0, 0, 0});
    dir.writeFile("many.tex", file.payload());

    const auto result = test::runLumenpull({"many.tex"}, dir.path().string());
    EXPECT_EQ(result.output, "many.tex: 300 texture(s) converted into 300 image(s)\n");
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "many_0.tga"));
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "many_299.tga"));
    // Texture 256 is not confused with texture 0.
    EXPECT_EQ(test::readWithPillow(dir / "many_256.tga").rgba[0], 0);
    EXPECT_EQ(test::readWithPillow(dir / "many_257.tga").rgba[0], 1);
}

TEST(EndToEndNames, UncompressedFlagWritesFlatImages) {
    test::TempDir dir;
    ResourceBuilder file = standardFile();
    file.addStaticTexture(64, 1, 0, 3, std::vector<uint8_t>(256, 9));  // one long run
    dir.writeFile("flat.tex", file.payload());

    test::runLumenpull({"flat.tex"}, dir.path().string());
    EXPECT_EQ(test::readFileBytes(dir / "flat.tga")[2], 10);  // run-length true colour
    test::runLumenpull({"-u", "flat.tex"}, dir.path().string());
    const auto flat = test::readFileBytes(dir / "flat.tga");
    EXPECT_EQ(flat[2], 2);
    EXPECT_EQ(flat.size(), 18u + 256u);
}

// Files that fail at each stage: the line carries the stage's prefix, if any,
// and the run goes on with the next file.
TEST(EndToEndErrors, EveryStageReportsOnItsLine) {
    test::TempDir dir;
    auto writePayload = [&](const std::string& name, const std::vector<uint8_t>& payload) {
        dir.writeFile(name, payload);
    };

    test::SignedHeader foreignKey;
    foreignKey.signKey = "Signkey.Somebody";
    ResourceBuilder good = standardFile();
    good.addStaticTexture(2, 2, 0, 3, std::vector<uint8_t>(16, 1));
    dir.writeFile("key.tex", test::wrapSigned(good.payload(), foreignKey));

    ResourceBuilder badCookie = standardFile();
    badCookie.meta.cookie = 0x12345678;
    writePayload("cookie.tex", badCookie.payload());
    writePayload("empty.tex", {});

    ResourceBuilder noTextures = standardFile();
    noTextures.addObject(noTextures.addType(test::sizedType("CSound", 4)), {1, 2, 3, 4});
    writePayload("sound.tex", noTextures.payload());

    ResourceBuilder oldBase(11);
    test::StandardTypeOptions options;
    options.versions.baseTexture = 4;
    oldBase.addStandardTypes(options);
    oldBase.addStaticTexture(2, 2, 0, 3, std::vector<uint8_t>(16, 1));
    writePayload("version.tex", oldBase.payload());

    ResourceBuilder badIdent = standardFile();
    TextureFields named = textureFields(2, 2, 3, std::vector<uint8_t>(16, 1));
    named.nameIdent = 99;
    badIdent.addTexture(TextureClass::Static, named);
    writePayload("ident.tex", badIdent.payload());

    // The meta data is whole, but the object chunks are missing or misnamed.
    const auto meta = test::writeMetaData(good.meta);
    writePayload("cut.tex", meta);
    auto misnamed = good.payload();
    misnamed[meta.size() + 3] = 'X';  // "OBTY" becomes "OBTX"
    writePayload("tag.tex", misnamed);
    writePayload("good.tex", good.payload());

    struct Case {
        std::string file, line;
    };
    const std::vector<Case> cases = {
        {"missing.tex", "error opening reading stream: Error opening file missing.tex: No such file or directory"},
        {"key.tex", "error opening reading stream: Only editor sign key is available for verification"},
        {"cookie.tex", "error reading meta data: Invalid endianness cookie"},
        {"empty.tex", "error reading meta data: Error reading"},
        {"sound.tex", "no textures found"},
        {"version.tex", "Invalid CBaseTexture format 4"},
        {"ident.tex", "invalid vector subscript"},
        {"cut.tex", "Error reading"},
        {"tag.tex",
         "Expected '" + std::to_string(MakeTag("OBTY")) + "' but found '" + std::to_string(MakeTag("OBTX")) + "'"},
        {"good.tex", "1 texture(s) converted into 1 image(s)"},
    };
    std::vector<std::string> arguments;
    std::string expected;
    for (const auto& c : cases) {
        arguments.push_back(c.file);
        expected += c.file + ": " + c.line + "\n";
    }
    const auto result = test::runLumenpull(arguments, dir.path().string());
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.output, expected);
    EXPECT_EQ(result.errors, "");
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "good.tga"));
}

TEST(EndToEndErrors, OutputThatCannotBeCreated) {
    test::TempDir dir;
    ResourceBuilder file = standardFile();
    file.addStaticTexture(2, 2, 0, 3, std::vector<uint8_t>(16, 1));
    dir.writeFile("a.tex", file.payload());
    dir.makeDir("a.tga");  // a folder stands where the image should go
    EXPECT_EQ(test::runLumenpull({"a.tex"}, dir.path().string()).output,
              "a.tex: Error creating output file: a.tga: Is a directory\n");
}

// Output paths are as long as the platform takes them: on Linux a tree of
// folders 600 characters deep is converted; Windows keeps its clear refusal.
TEST(EndToEndErrors, LongOutputPathsWhereThePlatformTakesThem) {
    test::TempDir dir;
    const std::string folder = std::string(200, 'd') + "/" + std::string(200, 'e') + "/" + std::string(180, 'f');
    ResourceBuilder file = standardFile();
    file.addStaticTexture(2, 2, 0, 3, std::vector<uint8_t>(16, 1));
    dir.writeFile(folder + "/texture.tex", file.payload());
    const std::string input = folder + "/texture.tex";
    const std::string output = test::runLumenpull({input}, dir.path().string()).output;
    if (test::runsWindowsBuild()) {
        EXPECT_EQ(output, input + ": Output file name longer than 511 characters\n");
    } else {
        EXPECT_EQ(output, input + ": 1 texture(s) converted into 1 image(s)\n");
        EXPECT_TRUE(std::filesystem::exists(dir.path() / folder / "texture.tga"));
    }
}

TEST(EndToEndErrors, DegenerateCountsGiveAClearOutcome) {
    test::TempDir dir;
    ResourceBuilder file = standardFile();
    TextureFields noFrames = textureFields(2, 2, 3, std::vector<uint8_t>(16, 1));
    noFrames.frameCount = 0;
    file.addTexture(TextureClass::Anim, noFrames);
    TextureFields negativeBlock = textureFields(2, 2, 3);
    negativeBlock.trailing = test::TrailingPixels{0, {}, -5};
    file.addTexture(TextureClass::Static, negativeBlock);
    dir.writeFile("odd.tex", file.payload());

    EXPECT_EQ(test::runLumenpull({"odd.tex"}, dir.path().string()).output,
              "odd.tex: 2 texture(s) converted into 0 image(s)\n");
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "odd_0.tga"));
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "odd_0_00.tga"));
}

}  // namespace
}  // namespace lumenpull
