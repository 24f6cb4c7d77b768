// Putting new pixels into any file: the first four input bytes choose a
// texture, one of its images and the pixels, the rest is the file. When the
// library reads the file and the texture has an image of its full size, the
// image is replaced by made-up pixels (any bytes; floats of every kind,
// negative, huge, infinite and NaN among them). Besides crashes, hangs and
// large allocations it checks that every file written reads again, with the
// same textures, and that the replaced image decodes.

#include <cmath>
#include <limits>

#include "fuzz_support.h"
#include "lumenpull/error.h"
#include "lumenpull/resource.h"
#include "patch/resource_patch.h"

namespace lumenpull::fuzz {
namespace {

// Pictures beyond this many values are left alone: the reader's own limits
// are fuzzed elsewhere, and the encoders' time grows with the picture.
constexpr uint64_t kMaxValues = uint64_t{1} << 18;

uint32_t nextRandom(uint32_t& state) {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
}

float madeUpFloat(uint32_t& state) {
    switch (nextRandom(state) % 8) {
        case 0: return -1.0f;
        case 1: return std::numeric_limits<float>::infinity();
        case 2: return std::numeric_limits<float>::quiet_NaN();
        case 3: return 1e30f;
        case 4: return 0.0f;
        default: return static_cast<float>(nextRandom(state) % 100000) / 1000.0f;
    }
}

void run(std::span<const uint8_t> input) {
    InputReader reader(input);
    const uint8_t textureChoice = reader.u8();
    const uint8_t imageChoice = reader.u8();
    uint32_t state = reader.u16();
    const std::span<const uint8_t> file = reader.rest();

    std::optional<Resource> before;
    try {
        before.emplace(Resource::fromMemory(file));
    } catch (const std::exception&) {
        return;
    }
    if (before->textures().empty()) return;
    const size_t t = textureChoice % before->textures().size();
    const Texture& texture = before->textures()[t];
    if (texture.info().rejected || texture.info().withoutPixels || texture.availableImages() == 0) return;
    ImageShape shape;
    try {
        shape = texture.fullShape();
    } catch (const Error&) {
        return;
    }
    if (shape.values() > kMaxValues) return;

    ReplacementImage image;
    image.index = imageChoice % texture.availableImages();
    image.pixels.shape = shape;
    for (uint64_t i = 0; i < shape.values(); ++i) {
        if (shape.layout == PixelLayout::RgbFloat) {
            image.pixels.floats.push_back(madeUpFloat(state));
        } else {
            image.pixels.bytes.push_back(static_cast<uint8_t>(nextRandom(state)));
        }
    }
    const TextureReplacement replacement{t, {image}};
    std::vector<uint8_t> patched;
    try {
        patched = patchResource(file, {&replacement, 1});
    } catch (const Error&) {
        return;  // what cannot be done is refused
    }

    std::optional<Resource> after;
    try {
        after.emplace(Resource::fromMemory(patched));
    } catch (const std::exception& error) {
        FUZZ_CHECK(false, std::string("the patched file reads: ") + error.what());
    }
    FUZZ_CHECK(after->textures().size() == before->textures().size(), "the same textures");
    const Texture& now = after->textures()[t];
    FUZZ_CHECK(now.info().width == texture.info().width && now.info().height == texture.info().height &&
                   now.info().imageCount == texture.info().imageCount,
               "the same texture");
    FUZZ_CHECK(now.availableImages() >= image.index + 1, "the replaced image is there");
    try {
        const Image decoded = now.image(image.index);
        FUZZ_CHECK(decoded.shape.width == shape.width && decoded.shape.height == shape.height, "its full size");
    } catch (const std::exception& error) {
        FUZZ_CHECK(false, std::string("the replaced image decodes: ") + error.what());
    }
}

}  // namespace
}  // namespace lumenpull::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    lumenpull::fuzz::run(std::span<const uint8_t>(data, size));
    return 0;
}
