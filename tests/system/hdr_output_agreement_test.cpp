// High-dynamic-range textures of noise converted to every type that holds
// them: the OpenEXR files, read back with the library's own reader, must
// hold exactly the floats of the DDS files and agree with the Radiance files
// within what RGBE keeps. Noise is where compression hardly pays, so chunks
// stored at about their raw size come up.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "support/container_writer.h"
#include "support/exr_chunk_reader.h"
#include "support/image_reader.h"
#include "support/resource_writer.h"
#include "support/run_tool.h"
#include "support/temp_dir.h"

namespace lumenpull {
namespace {

// A number below `count`.
uint32_t below(std::mt19937& random, uint32_t count) { return static_cast<uint32_t>(random() % count); }

using test::ResourceBuilder;
using test::TextureClass;
using test::TextureFields;

constexpr std::size_t kDdsHeaderBytes = 128;

struct NoiseTexture {
    std::string name;  // below the tree, without extension
    uint32_t width, height;
};

// The red, green and blue floats of the first level of a float DDS file.
std::vector<float> ddsRgb(const std::vector<uint8_t>& file, const NoiseTexture& texture) {
    const std::size_t pixels = std::size_t{texture.width} * texture.height;
    EXPECT_GE(file.size(), kDdsHeaderBytes + pixels * 16) << texture.name;
    std::vector<float> rgb;
    for (std::size_t i = 0; i < pixels && kDdsHeaderBytes + i * 16 + 12 <= file.size(); ++i) {
        float values[3];
        std::memcpy(values, file.data() + kDdsHeaderBytes + i * 16, sizeof values);
        rgb.insert(rgb.end(), values, values + 3);
    }
    return rgb;
}

TEST(EndToEndHdrTypes, ExrMatchesDdsExactlyAndRadianceWithinItsPrecision) {
    const test::TempDir dir;
    std::mt19937 random(31);
    std::vector<NoiseTexture> textures;
    // The two sizes first seen to go wrong, then random ones.
    std::vector<std::pair<uint32_t, uint32_t>> sizes = {{2, 225}, {3, 314}};
    while (sizes.size() < 16) sizes.emplace_back(1 + below(random, 64), 1 + below(random, 300));
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        const auto [width, height] = sizes[i];
        std::vector<uint8_t> stored(std::size_t{width} * height * 4);
        for (uint8_t& byte : stored) byte = static_cast<uint8_t>(random() & 0xff);
        ResourceBuilder file = test::standardFile();
        if (i % 2 == 0) {  // exponent bytes, inline
            file.addStaticTexture(int32_t(width), int32_t(height), 0, 12, stored);
        } else {  // shared exponent, in a trailing pixel block
            TextureFields shared = test::textureFields(int32_t(width), int32_t(height), 12);
            shared.trailing = test::TrailingPixels{0x0100, stored, std::nullopt};
            file.addTexture(TextureClass::Static, shared);
        }
        const std::string name = std::string(i % 3 == 0 ? "a/" : "b/") + "noise" + std::to_string(i);
        dir.writeFile("tree/" + name + ".tex", test::wrapPayload(test::ContainerKind(i % 3), file.payload()));
        textures.push_back({name, width, height});
    }

    for (const char* type : {"exr", "hdr", "dds"}) {
        const test::ToolRun run = test::runLumenpull({"-r", "-t", type, "-o", type, "tree"}, dir.path().string());
        ASSERT_EQ(run.exitCode, 0) << run.output;
    }
    int differingPixels = 0;
    for (const NoiseTexture& texture : textures) {
        SCOPED_TRACE(texture.name);
        const test::ExrPicture exr = test::readExrRgb(test::readFileBytes(dir / ("exr/tree/" + texture.name + ".exr")));
        ASSERT_EQ(exr.width, int(texture.width));
        ASSERT_EQ(exr.height, int(texture.height));
        EXPECT_TRUE(exr.rgb == ddsRgb(test::readFileBytes(dir / ("dds/tree/" + texture.name + ".dds")), texture));

        const test::ReadImage hdr = test::readHdrWithOpenCv(dir / ("hdr/tree/" + texture.name + ".hdr"));
        ASSERT_EQ(hdr.rgb.size(), exr.rgb.size());
        for (std::size_t p = 0; p < exr.rgb.size(); p += 3) {
            // RGBE keeps 8 bits of the largest component, the others sharing
            // its exponent: a step is at most 1/128 of the largest, and the
            // Radiance rows are made from the stored pixels with their own
            // rounding, so two steps apart at most.
            const float largest = std::max({exr.rgb[p], exr.rgb[p + 1], exr.rgb[p + 2]});
            for (std::size_t c = p; c < p + 3; ++c) {
                if (std::fabs(hdr.rgb[c] - exr.rgb[c]) > largest / 64.0f + 1e-30f) ++differingPixels;
            }
        }
    }
    EXPECT_EQ(differingPixels, 0);
}

}  // namespace
}  // namespace lumenpull
