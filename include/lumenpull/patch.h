#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "lumenpull/image.h"

namespace lumenpull {

// One new face or frame of a texture.
struct ReplacementImage {
    // The face or frame, from 0.
    int32_t index = 0;
    // The texture's full width x height in the layout Texture::image() gives
    // for it (Grey8, Rgb8, Rgba8 or RgbFloat). Unused when `stored` is set.
    Image pixels;
    // The levels of a DDS file in the texture's own stored format
    // (Texture::storedLevels(), or the tool's DDS output), taken as they are:
    // block-coded levels go back without loss.
    std::optional<StoredLevels> stored;
};

// The new images of one texture.
struct TextureReplacement {
    // The texture's position in Resource::textures().
    size_t texture = 0;
    // The images that change; the others keep their stored bytes.
    std::vector<ReplacementImage> images;
};

// The whole resource file `file` (any container kind) again with the named
// textures' pixel data encoded in the form each texture had: the same pixel
// format, zlib and plane coding, mip chain and container. Every other byte
// stays as it was but the sizes that follow the new data; pixels and
// blocks that already decode to the new picture keep their stored bytes.
// A signed container's records of changed blocks become zeros. Throws
// lumenpull::Error with a one-line message for what cannot be done (a
// picture of another size, a texture without pixels, ...).
std::vector<uint8_t> patch(std::span<const uint8_t> file, std::span<const TextureReplacement> replacements);

// The same file written to `path` as the tool writes its files: complete
// under a temporary name in the same folder, then renamed over `path`, so
// that a reader never sees half a file and a failure leaves what was there
// (which may be the very file `file` was read from). Throws
// lumenpull::Error ("Error creating output file: <path>: <reason>", ...).
void patch(std::span<const uint8_t> file, std::span<const TextureReplacement> replacements, const std::string& path);

}  // namespace lumenpull
