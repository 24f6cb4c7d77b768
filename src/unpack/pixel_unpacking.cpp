#include "unpack/pixel_unpacking.h"

#include <cstring>
#include <optional>

#include "image/texture_flags.h"
#include "unpack/inflation.h"
#include "unpack/largest_images.h"
#include "unpack/planes.h"

namespace lumenpull {
namespace {

// Step 2 into a buffer of its own. Bytes after the last whole element (a
// length that is not a multiple of the element size) come out as 0.
std::unique_ptr<uint8_t[]> decodedPlanes(std::span<const uint8_t> source, const PlaneLayout& layout,
                                         size_t& decodedSize) {
    decodedSize = layout.decodedSize;
    auto decoded = std::make_unique_for_overwrite<uint8_t[]>(decodedSize);
    const size_t written = decodePlaneElements(source, layout, {decoded.get(), decodedSize});
    std::memset(decoded.get() + written, 0, decodedSize - written);
    return decoded;
}

// Steps 2 and 3 at once: when the decoded data will hold smaller levels to
// drop, and the largest images begin and end on whole elements, decodes
// only the elements of those images (the sums run on through the others),
// so the smaller levels never take memory. Nothing otherwise.
struct DecodedImages {
    std::unique_ptr<uint8_t[]> bytes;
    std::span<uint8_t> span;
};
std::optional<DecodedImages> decodedLargestImages(std::span<const uint8_t> source, const PlaneLayout& layout,
                                                  const UnpackParameters& p) {
    const auto kept = largestImagesIn(layout.decodedSize, p);
    const uint64_t element = elementSizeOf(layout);
    if (!kept || kept->imageSize % element != 0 || kept->stride % element != 0 || kept->offset % element != 0) {
        return std::nullopt;
    }
    const auto size = static_cast<size_t>(kept->count * kept->imageSize);
    DecodedImages images{std::make_unique_for_overwrite<uint8_t[]>(size), {}};
    images.span = {images.bytes.get(), size};
    const Stretches stretches{kept->offset / element, kept->stride / element, kept->imageSize / element, kept->count};
    const size_t written = decodePlaneStretches(source, layout, stretches, images.span);
    // As in the whole decoded data, bytes past the last whole element are 0.
    std::memset(images.bytes.get() + written, 0, size - written);
    return images;
}

bool planeCoded(const UnpackParameters& p, size_t length) {
    return (p.textureFlags & PlaneCoded) != 0 && length != 0;
}

}  // namespace

void findImages(UnpackFindings& findings, uint64_t length, const UnpackParameters& p) {
    if (largestImagesIn(length, p)) {
        findings.mips = p.layoutWord == 0 ? UnpackFindings::Mips::LargestFirst : UnpackFindings::Mips::LargestLast;
    }
    findings.shortData = length < uint64_t{largestImageSize(p)} * p.imageCount;
}

FirstStep inflatedOrStored(std::vector<uint8_t>& stored, const UnpackParameters& p, UnpackFindings& findings) {
    std::optional<InflatedData> inflated = inflatedPixelData(stored, p);
    findings.inflated = inflated.has_value();
    if (!inflated) return {nullptr, stored};
    const std::span<uint8_t> data(inflated->bytes.get(), inflated->length);
    std::vector<uint8_t>().swap(stored);  // the compressed bytes are done with
    return {std::move(inflated->bytes), data};
}

namespace {

// Steps 2 and 3 on the bytes the first step left in `data`, which lie in
// `stored` or `made`.
UnpackedPixels laterSteps(std::vector<uint8_t> stored, std::unique_ptr<uint8_t[]> made, std::span<uint8_t> data,
                          UnpackFindings findings, const UnpackParameters& p) {
    if (planeCoded(p, data.size())) {
        const PlaneLayout layout = planeLayoutFor(p.pixelFormat, data.size());
        findings.planes = true;
        findImages(findings, layout.decodedSize, p);
        if (auto images = decodedLargestImages(data, layout, p)) {
            return UnpackedPixels(std::vector<uint8_t>(), std::move(images->bytes), images->span, findings);
        }
        size_t decodedSize = 0;
        auto decoded = decodedPlanes(data, layout, decodedSize);
        data = {decoded.get(), decodedSize};
        made = std::move(decoded);
        std::vector<uint8_t>().swap(stored);
    }
    findImages(findings, data.size(), p);
    const std::span<uint8_t> images = gatherLargestImages(data, p);
    return UnpackedPixels(std::move(stored), std::move(made), images, findings);
}

}  // namespace

UnpackedPixels unpackedPixels(std::vector<uint8_t> stored, const UnpackParameters& p) {
    // The three steps in order; each later step works in the buffer the
    // one before it left.
    UnpackFindings findings;
    auto [made, data] = inflatedOrStored(stored, p, findings);
    return laterSteps(std::move(stored), std::move(made), data, findings, p);
}

UnpackedPixels unpackedPixels(std::span<const uint8_t> stored, const UnpackParameters& p) {
    UnpackFindings findings;
    std::optional<InflatedData> inflated = inflatedPixelData(stored, p);
    findings.inflated = inflated.has_value();
    if (!inflated) {
        // The later steps work in place: on a copy of the caller's bytes.
        std::vector<uint8_t> copy(stored.begin(), stored.end());
        const std::span<uint8_t> data(copy);
        return laterSteps(std::move(copy), nullptr, data, findings, p);
    }
    const std::span<uint8_t> data(inflated->bytes.get(), inflated->length);
    return laterSteps({}, std::move(inflated->bytes), data, findings, p);
}

}  // namespace lumenpull
