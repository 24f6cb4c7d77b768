#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
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
    // The levels of a DDS file in the texture's own stored format, taken as
    // they are (a lossless round trip of the tool's DDS output).
    std::optional<StoredLevels> stored;
};

// The new images of one texture.
struct TextureReplacement {
    // The texture's position in file order, as Resource::textures() and the
    // listing count it.
    size_t texture = 0;
    // The images that change; the others keep their stored bytes.
    std::vector<ReplacementImage> images;
};

// The whole resource file `file` again with the named textures' pixel data
// re-encoded in the form each texture had; every other byte stays as it was
// but the sizes and counts that depend on the new data. Throws
// lumenpull::Error with a one-line message for what cannot be done (e.g.
// "Image size 512x512 does not match the texture's 1024x1024").
std::vector<uint8_t> patchResource(std::span<const uint8_t> file, std::span<const TextureReplacement> replacements);

}  // namespace lumenpull
