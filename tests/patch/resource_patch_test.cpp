#include "patch/resource_patch.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "api_samples.h"
#include "lumenpull/error.h"
#include "lumenpull/resource.h"
#include "support/container_writer.h"
#include "support/pixel_data_writer.h"
#include "support/resource_writer.h"
#include "support/temp_dir.h"

namespace lumenpull {
namespace {

using test::ContainerKind;

// Every image of a texture that has its full size (textures whose data ends
// early have shorter images, which cannot be put back).
bool wholeImages(const Texture& texture) {
    if (texture.info().rejected || texture.info().withoutPixels) return false;
    const ImageShape full = texture.fullShape();
    if (texture.availableImages() != texture.info().imageCount) return false;
    for (const Image& image : texture.images()) {
        if (image.shape.width != full.width || image.shape.height != full.height) return false;
    }
    return true;
}

bool blockCoded(const Texture& texture) {
    const std::string& name = texture.info().formatName;
    return name.find("BC") != std::string::npos || name.find("DXT") != std::string::npos;
}

// The picture mirrored left to right: every value is one the texture
// already stores, so an exact form can hold all of them.
Image mirrored(const Image& image) {
    Image out = image;
    const uint32_t w = image.shape.width, c = image.shape.channels();
    for (uint32_t y = 0; y < image.shape.height; ++y) {
        for (uint32_t x = 0; x < w; ++x) {
            for (uint32_t k = 0; k < c; ++k) {
                const size_t to = (size_t{y} * w + x) * c + k, from = (size_t{y} * w + (w - 1 - x)) * c + k;
                if (image.floats.empty()) {
                    out.bytes[to] = image.bytes[from];
                } else {
                    out.floats[to] = image.floats[from];
                }
            }
        }
    }
    return out;
}

double psnr(const Image& a, const Image& b) {
    double sum = 0;
    for (size_t i = 0; i < a.bytes.size(); ++i) sum += std::pow(static_cast<double>(a.bytes[i]) - b.bytes[i], 2);
    if (sum == 0) return INFINITY;
    return 10 * std::log10(255.0 * 255.0 / (sum / static_cast<double>(a.bytes.size())));
}

// Block-coded pictures are encoded in whole bands of blocks.
bool encodable(const Texture& texture) { return !blockCoded(texture) || texture.info().width % 4 == 0; }

std::vector<TextureReplacement> everyImage(const Resource& resource, Image (*edit)(const Image&),
                                           bool (*wanted)(const Texture&)) {
    std::vector<TextureReplacement> replacements;
    for (size_t t = 0; t < resource.textures().size(); ++t) {
        const Texture& texture = resource.textures()[t];
        if (!wholeImages(texture) || !encodable(texture) || !wanted(texture)) continue;
        TextureReplacement& replacement = replacements.emplace_back();
        replacement.texture = t;
        for (int32_t i = 0; i < texture.info().imageCount; ++i) {
            replacement.images.push_back({i, edit(texture.image(i)), std::nullopt});
        }
    }
    return replacements;
}

Image same(const Image& image) { return image; }
bool any(const Texture& texture) { return !texture.info().rejected; }
bool exactForm(const Texture& texture) { return !blockCoded(texture); }

class Samples : public ::testing::Test {
protected:
    void SetUp() override { names_ = test::writeApiSamples(dir_); }
    std::vector<uint8_t> bytesOf(const std::string& name) const { return test::readFileBytes(dir_ / name); }

    test::TempDir dir_;
    std::vector<std::string> names_;
};

// Every texture of every sample put back with its own pixels: every stored
// form, zlib and planes, chains either way round, every container kind.
// Each pixel and block already decodes to what is asked, so the file comes
// back byte for byte, zlib streams and signature records included.
TEST_F(Samples, OwnPixelsGiveTheFileBack) {
    for (const std::string& name : names_) {
        const std::vector<uint8_t> file = bytesOf(name);
        const Resource resource = Resource::fromMemory(file);
        const std::vector<TextureReplacement> replacements = everyImage(resource, same, any);
        if (replacements.empty()) continue;
        std::vector<uint8_t> patched;
        ASSERT_NO_THROW(patched = patchResource(file, replacements)) << name;
        EXPECT_TRUE(patched == file) << name;
    }
}

// Edited pictures of the exact forms (8-bit rows of every layout, both
// high-dynamic-range encodings, through zlib, planes and chains) read back
// exactly; every other texture, and every listing fact, stays as it was.
TEST_F(Samples, EditedPixelsOfExactFormsComeBackExactly) {
    for (const std::string& name : names_) {
        const std::vector<uint8_t> file = bytesOf(name);
        const Resource before = Resource::fromMemory(file);
        const std::vector<TextureReplacement> replacements = everyImage(before, mirrored, exactForm);
        if (replacements.empty()) continue;
        const Resource after = Resource::fromMemory(patchResource(file, replacements));
        ASSERT_EQ(after.textures().size(), before.textures().size()) << name;
        for (size_t t = 0; t < before.textures().size(); ++t) {
            const Texture& old = before.textures()[t];
            const Texture& now = after.textures()[t];
            const TextureInfo& a = old.info();
            const TextureInfo& b = now.info();
            EXPECT_EQ(std::tie(a.typeName, a.width, a.height, a.storedCode, a.twoChannel, a.imageCount, a.rejected),
                      std::tie(b.typeName, b.width, b.height, b.storedCode, b.twoChannel, b.imageCount, b.rejected))
                << name << " texture " << t;
            if (a.rejected || a.withoutPixels) continue;
            const Packing p = old.packing(), q = now.packing();
            EXPECT_EQ(std::tie(p.zlib, p.planes, p.mips, p.shortData), std::tie(q.zlib, q.planes, q.mips, q.shortData))
                << name << " texture " << t;
            const bool replaced = std::any_of(replacements.begin(), replacements.end(),
                                              [&](const TextureReplacement& r) { return r.texture == t; });
            if (!replaced) {
                EXPECT_EQ(b.storedBytes, a.storedBytes) << name << " texture " << t;
            }
            for (int32_t i = 0; i < old.availableImages(); ++i) {
                const Image want = replaced ? mirrored(old.image(i)) : old.image(i);
                const Image got = now.image(i);
                EXPECT_EQ(got.bytes, want.bytes) << name << " texture " << t << " image " << i;
                EXPECT_EQ(got.floats, want.floats) << name << " texture " << t << " image " << i;
            }
        }
    }
}

// Levels taken from the tool's own DDS output go in as they are: one face
// of a block-coded cube with its chain put in place of another.
TEST_F(Samples, StoredLevelsGoInAsTheyAre) {
    const std::vector<uint8_t> file = bytesOf("chain_cube.tex");
    const Resource before = Resource::fromMemory(file);
    const Texture& cube = before.textures()[0];
    TextureReplacement replacement{0, {}};
    replacement.images.push_back({3, {}, cube.storedLevels(0)});
    const Resource after = Resource::fromMemory(patchResource(file, {&replacement, 1}));
    const StoredLevels want = cube.storedLevels(0);
    const StoredLevels got = after.textures()[0].storedLevels(3);
    ASSERT_EQ(got.levels.size(), want.levels.size());
    for (size_t l = 0; l < want.levels.size(); ++l) EXPECT_EQ(got.levels[l].bytes, want.levels[l].bytes) << l;
    EXPECT_EQ(after.textures()[0].storedLevels(2).levels[0].bytes, cube.storedLevels(2).levels[0].bytes);
}

// A uncompressed file changes only inside the pixel bytes of the texture
// edited: meta data, other bodies and counts stay byte for byte.
TEST_F(Samples, AnUncompressedEditChangesOnlyItsPixelBytes) {
    const std::vector<uint8_t> file = bytesOf("formats.tex");
    const Resource before = Resource::fromMemory(file);
    TextureReplacement replacement{4, {}};
    replacement.images.push_back({0, mirrored(before.textures()[4].image(0)), std::nullopt});
    const std::vector<uint8_t> patched = patchResource(file, {&replacement, 1});
    ASSERT_EQ(patched.size(), file.size());
    size_t first = file.size(), last = 0;
    for (size_t i = 0; i < file.size(); ++i) {
        if (patched[i] != file[i]) first = std::min(first, i), last = i;
    }
    ASSERT_LT(first, file.size());
    EXPECT_LT(last - first, before.textures()[4].info().storedBytes);
}

// A picture in a texture's layout; blue 255 where the texture stores only
// red and green.
Image pictureFor(const test::RgbaImage& rgba, PixelLayout layout, bool redGreenOnly) {
    Image image;
    image.shape = {static_cast<uint32_t>(rgba.width), static_cast<uint32_t>(rgba.height), layout};
    const uint32_t channels = image.shape.channels();
    for (size_t i = 0; i < rgba.rgba.size() / 4; ++i) {
        for (uint32_t c = 0; c < channels; ++c) image.bytes.push_back(rgba.rgba[4 * i + c]);
        if (redGreenOnly) image.bytes.back() = 255;
    }
    return image;
}

// A new picture in place of a block-coded one, with the standard chain
// behind it (made again from the new picture), and what it reads back as.
TEST(BlockForms, NewPicturesDecodeWithinTheirStatedError) {
    struct Case {
        int32_t format;
        uint32_t flags;
        double minimumPsnr;
    };
    const Case cases[] = {{9, 0, 32}, {10, 0, 33}, {10, 0x80, 40}, {15, 0, 45}};
    const test::RgbaImage before = test::makeCheckerboard(64, 64, 8);
    const test::RgbaImage after = test::makeColourWheel(64, 64);
    for (const Case& c : cases) {
        test::ResourceBuilder builder(11);
        builder.addStandardTypes();
        std::vector<uint8_t> stored = c.format == 9    ? test::encodeBc1(before)
                                      : c.format == 10 ? test::encodeBc3(before)
                                                       : test::encodeBc5(before);
        stored.resize(stored.size() + test::smallerMipLevelsSize(64, 64, c.format == 9 ? 4 : 8), 0);
        builder.addStaticTexture(64, 64, c.flags, c.format, stored);
        const std::vector<uint8_t> file = test::wrapPayload(ContainerKind::Signed, builder.payload());
        const Resource old = Resource::fromMemory(file);
        const Image wanted = pictureFor(after, old.textures()[0].fullShape().layout, c.flags != 0 || c.format == 15);
        TextureReplacement replacement{0, {{0, wanted, std::nullopt}}};
        const Resource now = Resource::fromMemory(patchResource(file, {&replacement, 1}));
        const double measured = psnr(now.textures()[0].image(0), wanted);
        EXPECT_GE(measured, c.minimumPsnr) << c.format << " " << c.flags;
        EXPECT_EQ(now.textures()[0].packing().mips, Packing::Mips::LargestFirst);
        EXPECT_NE(now.textures()[0].storedLevels(0).levels[1].bytes, old.textures()[0].storedLevels(0).levels[1].bytes);
    }
}

// A signed container cut into small blocks: the header and the records of
// the blocks before the change are copied, the later ones are zero.
TEST(Containers, SignedContainerIsCutAgainWithItsHeader) {
    test::ResourceBuilder builder(11);
    builder.addStandardTypes();
    const test::RgbaImage picture = test::makeGradient(16, 16);
    builder.addStaticTexture(16, 16, 0, 3, test::compressZlib(test::storeBgra(picture)));
    test::SignedHeader header;
    header.blockSize = 100;
    header.signatureSize = 16;
    header.headerText = "kept";
    const std::vector<uint8_t> file = test::wrapSigned(builder.payload(), header);
    const Resource before = Resource::fromMemory(file);
    TextureReplacement replacement{0, {{0, mirrored(before.textures()[0].image(0)), std::nullopt}}};
    const std::vector<uint8_t> patched = patchResource(file, {&replacement, 1});

    const std::vector<uint8_t> headerBytes = test::signedHeaderBytes(header);
    ASSERT_GT(patched.size(), headerBytes.size() + 16);
    EXPECT_TRUE(std::equal(headerBytes.begin(), headerBytes.end(), patched.begin()));
    const auto recordAfter = [&](size_t block) {
        const size_t at = headerBytes.size() + 16 + block * 116 + 100;
        return std::vector<uint8_t>(patched.begin() + static_cast<std::ptrdiff_t>(at),
                                    patched.begin() + static_cast<std::ptrdiff_t>(at + 16));
    };
    EXPECT_EQ(recordAfter(0), std::vector<uint8_t>(16, test::kSignatureFill));
    const size_t blocks = (patched.size() - headerBytes.size() - 16) / 116;
    EXPECT_EQ(recordAfter(blocks - 1), std::vector<uint8_t>(16, 0));
    const Resource after = Resource::fromMemory(patched);
    EXPECT_EQ(after.textures()[0].image(0).bytes, mirrored(before.textures()[0].image(0)).bytes);
}

TEST_F(Samples, WhatCannotBeDoneIsRefusedWithOneLine) {
    const std::vector<uint8_t> formats = bytesOf("formats.tex");
    const Resource resource = Resource::fromMemory(formats);
    const Image rgba = resource.textures()[2].image(0);  // 8 x 4, red, green, blue, alpha
    Image small = rgba;
    small.shape.width = 4;
    Image grey = rgba;
    grey.shape.layout = PixelLayout::Grey8;
    StoredLevels wrongBlocks = resource.textures()[8].storedLevels(0);  // DXT1
    struct Case {
        std::string file;
        TextureReplacement replacement;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"formats.tex", {2, {{0, small, std::nullopt}}}, "Texture 2: Image size 4x4 does not match the texture's 8x4"},
        {"formats.tex", {2, {{0, grey, std::nullopt}}}, "Texture 2: Image has 1 channel(s), the texture 4"},
        {"formats.tex", {2, {{1, rgba, std::nullopt}}}, "Texture 2: Texture has no image 1"},
        {"formats.tex", {9, {{0, {}, wrongBlocks}}}, "Texture 9: DDS format DXT1 does not match the texture's DXT5"},
        {"formats.tex", {40, {{0, rgba, std::nullopt}}}, "No texture 40 in the file"},
        {"odd.rsc",
         {0, {{0, {}, std::nullopt}}},
         "Texture 0: Block-coded texture 6 pixels wide: only widths that are multiples of 4 can be encoded"},
        {"set.rsc", {1, {{0, rgba, std::nullopt}}}, "Texture 1 has no pixel data"},
        {"rejected.tex", {1, {{0, rgba, std::nullopt}}}, "Texture 1: invalid texture format 13"},
    };
    for (const Case& c : cases) {
        try {
            patchResource(bytesOf(c.file), {&c.replacement, 1});
            ADD_FAILURE() << c.message;
        } catch (const Error& error) {
            EXPECT_EQ(std::string(error.what()), c.message);
        }
    }
}

}  // namespace
}  // namespace lumenpull
