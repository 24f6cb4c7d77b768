// Any bytes go to the picture readers that --import reads edited images
// with: the first byte picks the type (by the name's extension, as the
// import picks it), the rest is the file. A reader either gives images
// whose buffers hold exactly their shape's values, or throws
// lumenpull::Error: any other exception, a read outside the file or an
// allocation beyond the runner's limit is a finding.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "fuzz_support.h"
#include "lumenpull/error.h"
#include "pictures/picture.h"

namespace lumenpull::fuzz {
namespace {

constexpr const char* kNames[] = {"p.tga", "p.png", "p.dds", "p.hdr", "p.exr"};

void checkPicture(const Picture& picture, const std::string& name) {
    FUZZ_CHECK(!picture.images.empty(), name);
    FUZZ_CHECK(picture.stored.empty() || picture.stored.size() == picture.images.size(), name);
    for (const Image& image : picture.images) {
        const std::size_t values = valuesOf(image.shape);
        FUZZ_CHECK(image.shape.width > 0 && image.shape.height > 0, name);
        if (image.shape.layout == PixelLayout::RgbFloat) {
            FUZZ_CHECK(image.floats.size() == values && image.bytes.empty(), name);
        } else {
            FUZZ_CHECK(image.bytes.size() == values && image.floats.empty(), name);
        }
    }
}

}  // namespace
}  // namespace lumenpull::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace lumenpull;
    if (size == 0) return 0;
    const std::string name = fuzz::kNames[data[0] % std::size(fuzz::kNames)];
    const std::span<const uint8_t> file(data + 1, size - 1);
    Picture picture;
    try {
        picture = readPicture(file, name);
    } catch (const Error&) {
        return 0;
    }
    fuzz::checkPicture(picture, name);
    return 0;
}
