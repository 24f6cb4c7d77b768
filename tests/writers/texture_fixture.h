#pragma once

#include <cstdint>
#include <vector>

#include "pixels/texture_image.h"

namespace lumenpull::test {

// The texture fields a writer reads, over pixel bytes the caller keeps alive.
inline TextureImage textureImage(int32_t format, int32_t width, int32_t height, const std::vector<uint8_t>& data,
                                 int32_t count = 1, uint32_t flags = 0) {
    TextureImage t;
    t.width = width;
    t.height = height;
    t.pixelFormat = static_cast<PixelFormat>(format);
    t.imageCount = count;
    t.textureFlags = flags;
    t.pixelData = data;
    return t;
}

}  // namespace lumenpull::test
