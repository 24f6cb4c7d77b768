#include "lumenpull/patch.h"

#include <gtest/gtest.h>

#include <algorithm>

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

}  // namespace
}  // namespace lumenpull
