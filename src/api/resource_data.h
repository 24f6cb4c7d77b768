#pragma once

// What a Resource holds once its file is read: the textures' listing facts
// and their stored pixel data, never changed after opening.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "lumenpull/texture.h"
#include "pixels/pixel_format.h"
#include "unpack/unpack_parameters.h"

namespace lumenpull::detail {

struct TextureData {
    TextureInfo info;
    std::vector<uint8_t> stored;  // the pixel data as stored; empty without pixels
    // Rejected textures and textures without pixels have no format: nothing
    // below is used for them.
    UnpackParameters unpack;
    PixelFormat canonicalFormat{};
    bool sharedExponent = false;  // high-dynamic-range pixels with one exponent for three mantissas
};

struct ResourceData {
    std::vector<TextureData> textures;
    std::vector<Texture> handles;  // one per texture, pointing into `textures`
    uint64_t textureObjects = 0;
    std::optional<std::string> rejection;
};

}  // namespace lumenpull::detail
