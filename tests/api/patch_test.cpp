#include "lumenpull/patch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "api_samples.h"
#include "lumenpull/error.h"
#include "lumenpull/resource.h"
#include "support/temp_dir.h"

namespace lumenpull {
namespace {

// Through the public header: a cube in a signed container, zlib-compressed
// with its levels last, gets one face mirrored; the file reads again with
// that face changed and the others as they were.
TEST(ApiPatch, OneFaceOfACubeIsReplaced) {
    const test::TempDir dir;
    test::writeApiSamples(dir);
    const std::vector<uint8_t> file = test::readFileBytes(dir / "cube.tex");
    const Resource before = Resource::fromMemory(file);
    Image face = before.textures()[0].image(4);
    std::reverse(face.bytes.begin(), face.bytes.end());  // upside down and the channels backwards
    const TextureReplacement replacement{0, {{4, face, std::nullopt}}};
    const Resource after = Resource::fromMemory(patch(file, {&replacement, 1}));
    for (int32_t i = 0; i < 6; ++i) {
        EXPECT_EQ(after.textures()[0].image(i).bytes, i == 4 ? face.bytes : before.textures()[0].image(i).bytes) << i;
    }
    EXPECT_TRUE(after.textures()[0].packing().zlib);
    EXPECT_THROW(patch(std::vector<uint8_t>{1, 2, 3}, {&replacement, 1}), Error);
}

// Written to a path: the same bytes, put in place over the very file that
// was read; a folder that is not there fails and leaves nothing behind.
TEST(ApiPatch, WritesThePatchedFileOverTheOneItWasReadFrom) {
    const test::TempDir dir;
    test::writeApiSamples(dir);
    const std::string path = dir / "cube.tex";
    const std::vector<uint8_t> file = test::readFileBytes(path);
    Image face = Resource::fromMemory(file).textures()[0].image(1);
    std::reverse(face.bytes.begin(), face.bytes.end());
    const TextureReplacement replacement{0, {{1, face, std::nullopt}}};
    patch(file, {&replacement, 1}, path);
    EXPECT_EQ(test::readFileBytes(path), patch(file, {&replacement, 1}));
    EXPECT_THROW(patch(file, {&replacement, 1}, dir / "missing/cube.tex"), Error);
    EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
}

}  // namespace
}  // namespace lumenpull
