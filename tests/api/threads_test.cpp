// Distinct resources used from two threads at once decode exactly what
// they decode one after the other (the ThreadSanitizer run checks this test
// for races too), and so do two threads sharing one resource.

#include <gtest/gtest.h>

#include <thread>

#include "api_samples.h"
#include "lumenpull/lumenpull.h"

namespace lumenpull {
namespace {

// Every image of every texture decoded, and written as PNG or EXR.
std::vector<std::vector<uint8_t>> everything(const Resource& resource) {
    std::vector<std::vector<uint8_t>> out;
    for (const Texture& texture : resource.textures()) {
        if (texture.info().rejected || texture.info().withoutPixels) continue;
        const std::vector<Image> images = texture.images();
        for (int32_t i = 0; i < static_cast<int32_t>(images.size()); ++i) {
            const Image& image = images[static_cast<std::size_t>(i)];
            out.push_back(image.bytes);
            out.emplace_back(reinterpret_cast<const uint8_t*>(image.floats.data()),
                             reinterpret_cast<const uint8_t*>(image.floats.data() + image.floats.size()));
            out.push_back(texture.encode(i, texture.info().highDynamicRange ? FileType::Exr : FileType::Png));
        }
    }
    return out;
}

TEST(ApiThreads, DistinctResourcesDecodeAtOnceAsOneAfterTheOther) {
    const test::TempDir dir;
    const std::vector<std::string> names = test::writeApiSamples(dir);
    std::vector<std::vector<std::vector<uint8_t>>> alone;
    for (const std::string& name : names) alone.push_back(everything(Resource::open(dir / name)));

    std::vector<std::vector<std::vector<uint8_t>>> together(names.size());
    const auto work = [&](std::size_t first) {
        for (std::size_t i = first; i < names.size(); i += 2) {
            together[i] = everything(Resource::fromMemory(test::readFileBytes(dir / names[i])));
        }
    };
    std::thread other(work, 1);
    work(0);
    other.join();
    EXPECT_EQ(together, alone);
}

TEST(ApiThreads, OneResourceSharedByTwoThreads) {
    const test::TempDir dir;
    const std::vector<std::string> names = test::writeApiSamples(dir);
    const Resource resource = Resource::open(dir / names.front());
    const auto expected = everything(resource);
    std::vector<std::vector<uint8_t>> fromOther;
    std::thread other([&] { fromOther = everything(resource); });
    const auto fromThis = everything(resource);
    other.join();
    EXPECT_EQ(fromThis, expected);
    EXPECT_EQ(fromOther, expected);
}

}  // namespace
}  // namespace lumenpull
