#include "unpack/pixel_unpacking.h"

#include <cstring>
#include <optional>

#include "pixels/texture_flags.h"
#include "unpack/inflation.h"
#include "unpack/largest_images.h"
#include "unpack/planes.h"

namespace lumenpull {
namespace {

// Step 2 into a block of its own, layout.decodedSize bytes of it. Bytes
// after the last whole element (a length that is not a multiple of the
// element size) come out as 0.
ByteBlock decodedPlanes(std::span<const uint8_t> source, const PlaneLayout& layout, BufferPool& buffers) {
    ByteBlock decoded = buffers.block(layout.decodedSize);
    const std::span<uint8_t> bytes = decoded.first(layout.decodedSize);
    const size_t written = decodePlaneElements(source, layout, bytes);
    std::memset(bytes.data() + written, 0, bytes.size() - written);
    return decoded;
}

// Steps 2 and 3 at once: when the decoded data will hold smaller levels to
// drop, and the largest images begin and end on whole elements, decodes
// only the elements of those images (the sums run on through the others),
// so the smaller levels never take memory. Nothing otherwise.
struct DecodedImages {
    ByteBlock block;
    std::span<uint8_t> span;
};
std::optional<DecodedImages> decodedLargestImages(std::span<const uint8_t> source, const PlaneLayout& layout,
                                                  const UnpackParameters& p, BufferPool& buffers) {
    const auto kept = largestImagesIn(layout.decodedSize, p);
    const uint64_t element = elementSizeOf(layout);
    if (!kept || kept->imageSize % element != 0 || kept->stride % element != 0 || kept->offset % element != 0) {
        return std::nullopt;
    }
    const auto size = static_cast<size_t>(kept->count * kept->imageSize);
    DecodedImages images{buffers.block(size), {}};
    images.span = images.block.first(size);
    const Stretches stretches{kept->offset / element, kept->stride / element, kept->imageSize / element, kept->count};
    const size_t written = decodePlaneStretches(source, layout, stretches, images.span);
    // As in the whole decoded data, bytes past the last whole element are 0.
    std::memset(images.span.data() + written, 0, size - written);
    return images;
}

bool planeCoded(const UnpackParameters& p, size_t length) { return (p.textureFlags & PlaneCoded) != 0 && length != 0; }

}  // namespace

void findImages(UnpackFindings& findings, uint64_t length, const UnpackParameters& p) {
    if (largestImagesIn(length, p)) {
        findings.mips = p.layoutWord == 0 ? UnpackFindings::Mips::LargestFirst : UnpackFindings::Mips::LargestLast;
    }
    findings.shortData = length < uint64_t{largestImageSize(p)} * p.imageCount;
}

FirstStep inflatedOrStored(std::vector<uint8_t>& stored, const UnpackParameters& p, UnpackFindings& findings,
                           BufferPool& buffers) {
    std::optional<InflatedData> inflated = inflatedPixelData(stored, p, buffers);
    findings.inflated = inflated.has_value();
    if (!inflated) return {{}, stored};
    buffers.keep(std::move(stored));  // the compressed bytes are done with
    stored = {};
    return {std::move(inflated->block), inflated->bytes};
}

void UnpackedPixels::returnBuffers(BufferPool& buffers) {
    images_ = {};
    buffers.keep(std::move(stored_));
    stored_ = {};
    buffers.keep(std::move(made_));
    made_ = {};
}

UnpackedPixels unpackedPixels(std::vector<uint8_t> stored, const UnpackParameters& p, BufferPool& buffers) {
    // The three steps in order; each later step works in the buffer the
    // one before it left, and the one before goes back to the pool.
    UnpackFindings findings;
    auto [made, data] = inflatedOrStored(stored, p, findings, buffers);
    if (planeCoded(p, data.size())) {
        const PlaneLayout layout = planeLayoutFor(p.pixelFormat, data.size());
        findings.planes = true;
        findImages(findings, layout.decodedSize, p);
        if (auto images = decodedLargestImages(data, layout, p, buffers)) {
            buffers.keep(std::move(made));
            buffers.keep(std::move(stored));
            return UnpackedPixels(std::vector<uint8_t>(), std::move(images->block), images->span, findings);
        }
        ByteBlock decoded = decodedPlanes(data, layout, buffers);
        data = decoded.first(layout.decodedSize);
        buffers.keep(std::move(made));
        made = std::move(decoded);
        buffers.keep(std::move(stored));
        stored = {};
    }
    findImages(findings, data.size(), p);
    const std::span<uint8_t> images = gatherLargestImages(data, p);
    return UnpackedPixels(std::move(stored), std::move(made), images, findings);
}

UnpackedPixels unpackedPixels(std::span<const uint8_t> stored, const UnpackParameters& p, BufferPool& buffers) {
    // The steps work in place: on a copy of the caller's bytes.
    return unpackedPixels(std::vector<uint8_t>(stored.begin(), stored.end()), p, buffers);
}

}  // namespace lumenpull
