#include "unpack/mip_chain.h"

#include <cstring>
#include <memory>

#include "pixels/mip_levels.h"
#include "pixels/pixel_format.h"
#include "pixels/texture_flags.h"
#include "unpack/largest_images.h"
#include "unpack/planes.h"

namespace lumenpull {

uint32_t storedMipLevels(uint64_t length, const UnpackParameters& p) {
    if (p.layoutWord != 0 || p.imageCount == 0) return 1;
    if (p.pixelFormat == PixelFormat::Block8) return 1;
    if (p.width <= 0 || p.height <= 0 || p.width > 0xFFFF || p.height > 0xFFFF) return 1;
    const auto width = static_cast<uint32_t>(p.width);
    const auto height = static_cast<uint32_t>(p.height);
    const uint64_t imageSize = largestImageSize(p);
    if (imageSize == 0 || imageSize != storedLevelBytes(width, height, p.bitsPerPixel, 0)) return 1;
    const uint64_t images = imageSize * p.imageCount;
    if (length <= images || (length - images) % p.imageCount != 0) return 1;
    const uint64_t rest = (length - images) / p.imageCount;
    uint64_t chain = 0;
    const uint32_t full = fullChainLevels(width, height);
    for (uint32_t level = 1; level < full && chain < rest; ++level) {
        chain += storedLevelBytes(width, height, p.bitsPerPixel, level);
        if (chain == rest) return level + 1;
    }
    return 1;
}

UnpackedLevels unpackedWithMipChain(std::vector<uint8_t> stored, const UnpackParameters& p, BufferPool& buffers) {
    // Only the largest image first can carry a chain; the rest unpacks as always.
    if (p.layoutWord != 0) return {unpackedPixels(std::move(stored), p, buffers), 1};
    UnpackFindings findings;
    auto [made, data] = inflatedOrStored(stored, p, findings, buffers);
    if ((p.textureFlags & PlaneCoded) != 0 && !data.empty()) {
        // Every element is decoded: the smaller levels may be kept.
        const PlaneLayout layout = planeLayoutFor(p.pixelFormat, data.size());
        findings.planes = true;
        ByteBlock decoded = buffers.block(layout.decodedSize);
        const std::span<uint8_t> decodedBytes = decoded.first(layout.decodedSize);
        const size_t written = decodePlaneElements(data, layout, decodedBytes);
        std::memset(decodedBytes.data() + written, 0, layout.decodedSize - written);
        data = decodedBytes;
        buffers.keep(std::move(made));
        made = std::move(decoded);
        buffers.keep(std::move(stored));
        stored = {};
    }
    findImages(findings, data.size(), p);
    const uint32_t levels = storedMipLevels(data.size(), p);
    if (levels > 1) return {UnpackedPixels(std::move(stored), std::move(made), data, findings), levels};
    const std::span<uint8_t> images = gatherLargestImages(data, p);
    return {UnpackedPixels(std::move(stored), std::move(made), images, findings), 1};
}

}  // namespace lumenpull
