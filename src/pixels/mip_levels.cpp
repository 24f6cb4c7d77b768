#include "pixels/mip_levels.h"

#include <algorithm>

namespace lumenpull {

MipLevel mipLevel(uint32_t width, uint32_t height, uint32_t level) {
    const auto halve = [level](uint32_t size) { return level >= 32 ? 1u : std::max(size >> level, 1u); };
    return {halve(width), halve(height)};
}

uint32_t fullChainLevels(uint32_t width, uint32_t height) {
    uint32_t levels = 1;
    for (uint32_t size = std::max(width, height); size > 1; size >>= 1) ++levels;
    return levels;
}

uint64_t storedLevelBytes(uint32_t width, uint32_t height, uint8_t bitsPerPixel, uint32_t level) {
    const MipLevel l = level == 0 ? MipLevel{width, height} : mipLevel(width, height, level);
    if (level != 0 && storedInBlocks(bitsPerPixel)) {
        const uint64_t blockBytes = uint64_t{16} * bitsPerPixel / 8;
        return ((uint64_t{l.width} + 3) / 4) * ((uint64_t{l.height} + 3) / 4) * blockBytes;
    }
    return uint64_t{l.width} * l.height * bitsPerPixel / 8;
}

}  // namespace lumenpull
