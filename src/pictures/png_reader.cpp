#include <algorithm>
#include <cstdlib>
#include <memory>

#include "lumenpull/error.h"
#include "pictures/picture_readers.h"

// stb_image, PNG only, in this file alone. Its limits keep a header from
// asking for more than a texture can hold; the size check below keeps it
// from asking for more than the file can hold.
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_MAX_DIMENSIONS 65535
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wconversion"
#pragma GCC diagnostic ignored "-Wshadow"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#pragma GCC diagnostic ignored "-Wdouble-promotion"
#endif
#include <stb_image.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace lumenpull {

namespace {

struct StbFree {
    void operator()(stbi_uc* pixels) const { stbi_image_free(pixels); }
};

// Deflate turns one byte into at most 1032.
constexpr uint64_t kDeflateRatio = 1032;

// stb grows its buffer to a data chunk's stated length before it finds the
// file too short for it, so a 100-byte file could ask for 4 GiB: every
// chunk up to the end chunk must lie inside the file before stb sees it.
void checkChunkLengths(std::span<const uint8_t> file) {
    constexpr std::size_t kSignatureBytes = 8;
    std::size_t at = kSignatureBytes;
    while (file.size() >= at + 8) {
        const uint64_t length = uint64_t{file[at]} << 24 | uint64_t{file[at + 1]} << 16 | uint64_t{file[at + 2]} << 8 |
                                uint64_t{file[at + 3]};
        const bool end = file[at + 4] == 'I' && file[at + 5] == 'E' && file[at + 6] == 'N' && file[at + 7] == 'D';
        // The data must be there; a missing checksum stb does not mind.
        if (length > file.size() - at - 8) throw Error("Truncated PNG file");
        if (end) return;
        at += 8 + static_cast<std::size_t>(length);
        at += std::min<std::size_t>(4, file.size() - at);
    }
}

}  // namespace

Picture readPng(std::span<const uint8_t> file) {
    if (file.size() > static_cast<std::size_t>(INT32_MAX)) throw Error("PNG file too large");
    const auto* data = file.data();
    const int length = static_cast<int>(file.size());
    int width = 0, height = 0, channels = 0;
    if (!stbi_info_from_memory(data, length, &width, &height, &channels)) throw Error("Unreadable PNG file");
    // stb decodes 16-bit samples to 8 bits, a palette to colour, grey with
    // alpha to colour with alpha.
    PixelLayout layout = PixelLayout::Rgba8;
    if (channels == 1) layout = PixelLayout::Grey8;
    if (channels == 3) layout = PixelLayout::Rgb8;
    const uint32_t wanted = layoutChannels(layout);
    // Its rows and filter bytes, at 16 bits a sample at most.
    checkDecodedSize(static_cast<uint64_t>(width), static_cast<uint64_t>(height), 2 * uint64_t{wanted}, file.size(),
                     kDeflateRatio, "PNG");
    checkChunkLengths(file);
    int gotWidth = 0, gotHeight = 0, gotChannels = 0;
    const std::unique_ptr<stbi_uc, StbFree> pixels(
        stbi_load_from_memory(data, length, &gotWidth, &gotHeight, &gotChannels, static_cast<int>(wanted)));
    if (!pixels || gotWidth != width || gotHeight != height) {
        throw Error(std::string("Unreadable PNG file: ") + (stbi_failure_reason() ? stbi_failure_reason() : "damaged"));
    }
    Image image;
    image.shape = {static_cast<uint32_t>(width), static_cast<uint32_t>(height), layout};
    image.bytes.assign(pixels.get(), pixels.get() + valuesOf(image.shape));
    Picture picture;
    picture.images.push_back(std::move(image));
    return picture;
}

}  // namespace lumenpull
