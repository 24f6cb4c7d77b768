#include "cli/pixel_unpacking_planes.h"

#include <algorithm>

#include "cli/pixel_unpacking.h"

namespace lumenpull {
namespace {

// One plane of the source: `length` bytes from `offset`, of which those past
// the end of the source read as 0.
class Plane {
public:
    Plane(std::span<const uint8_t> source, size_t offset, size_t length) {
        if (offset < source.size()) {
            bytes_ = source.subspan(offset, std::min(length, source.size() - offset));
        }
    }

    uint8_t byte(size_t i) const { return i < bytes_.size() ? bytes_[i] : 0; }
    uint16_t word16(size_t i) const { return static_cast<uint16_t>(byte(2 * i) | byte(2 * i + 1) << 8); }

    // Copies `count` bytes from `offset`, zero-filling what the source lacks.
    void copy(size_t offset, size_t count, uint8_t* out) const {
        for (size_t k = 0; k < count; ++k) {
            out[k] = byte(offset + k);
        }
    }

private:
    std::span<const uint8_t> bytes_;
};

size_t elementSize(const PlaneLayout& layout) {
    if (layout.kind != PlaneKind::Block) {
        return 4;
    }
    return layout.alpha ? 16 : 8;
}

// Colour, grey and alpha-only pixels: four running byte sums, written as
// blue, green, red, alpha. Plane k holds the deltas of pixel i at k * n + i.
template <PlaneKind Kind, bool Alpha>
class PixelSums {
public:
    // The planes this kind reads: red, green, blue (alpha); grey (alpha); alpha.
    static constexpr size_t PlanesRead = Kind == PlaneKind::Colour ? (Alpha ? 4 : 3) : Kind == PlaneKind::Grey ? (Alpha ? 2 : 1) : 1;

    // Pixel i from the deltas d[0 .. PlanesRead - 1].
    void next(const uint8_t* d, uint8_t* out) {
        if constexpr (Kind == PlaneKind::Colour) {
            red_ = static_cast<uint8_t>(red_ + d[0]);
            green_ = static_cast<uint8_t>(green_ + d[1]);
            blue_ = static_cast<uint8_t>(blue_ + d[2]);
            if constexpr (Alpha) alpha_ = static_cast<uint8_t>(alpha_ + d[3]);
        } else if constexpr (Kind == PlaneKind::Grey) {
            red_ = static_cast<uint8_t>(red_ + d[0]);
            green_ = red_;
            blue_ = red_;
            if constexpr (Alpha) alpha_ = static_cast<uint8_t>(alpha_ + d[1]);
        } else {
            alpha_ = static_cast<uint8_t>(alpha_ + d[0]);
        }
        out[0] = blue_;
        out[1] = green_;
        out[2] = red_;
        out[3] = alpha_;
    }

private:
    uint8_t red_ = 0;
    uint8_t green_ = 0;
    uint8_t blue_ = 0;
    uint8_t alpha_ = Alpha ? 255 : 0;
};

template <PlaneKind Kind, bool Alpha>
void decodePixelsOf(std::span<const uint8_t> source, size_t n, uint8_t* out) {
    using Sums = PixelSums<Kind, Alpha>;
    constexpr size_t Planes = Sums::PlanesRead;
    Sums sums;
    uint8_t d[Planes];
    // While the last plane read still has its byte, every plane has it: read
    // straight from the source. The rest reads missing bytes as 0.
    const size_t lastPlane = (Planes - 1) * n;
    const size_t whole = source.size() > lastPlane ? std::min(n, source.size() - lastPlane) : 0;
    const uint8_t* p = source.data();
    for (size_t i = 0; i < whole; ++i, out += 4) {
        for (size_t k = 0; k < Planes; ++k) d[k] = p[k * n + i];
        sums.next(d, out);
    }
    for (size_t i = whole; i < n; ++i, out += 4) {
        for (size_t k = 0; k < Planes; ++k) d[k] = Plane(source, k * n, n).byte(i);
        sums.next(d, out);
    }
}

void decodePixels(std::span<const uint8_t> source, const PlaneLayout& layout, size_t n, uint8_t* out) {
    const bool alpha = layout.alpha;
    switch (layout.kind) {
    case PlaneKind::Colour:
        alpha ? decodePixelsOf<PlaneKind::Colour, true>(source, n, out)
              : decodePixelsOf<PlaneKind::Colour, false>(source, n, out);
        break;
    case PlaneKind::Grey:
        alpha ? decodePixelsOf<PlaneKind::Grey, true>(source, n, out)
              : decodePixelsOf<PlaneKind::Grey, false>(source, n, out);
        break;
    case PlaneKind::AlphaOnly:
        alpha ? decodePixelsOf<PlaneKind::AlphaOnly, true>(source, n, out)
              : decodePixelsOf<PlaneKind::AlphaOnly, false>(source, n, out);
        break;
    case PlaneKind::Block: break;
    }
}

// Blocks: running sums of the two colour endpoints; the index words and the
// alpha halves are stored as they are.
void decodeBlocks(std::span<const uint8_t> source, const PlaneLayout& layout, size_t n, uint8_t* out) {
    const Plane first(source, 0, 2 * n);
    const Plane second(source, 2 * n, 2 * n);
    const Plane indices(source, 4 * n, 4 * n);
    const Plane alphaHalves(source, 8 * n, 8 * n);
    uint16_t e0 = 0;
    uint16_t e1 = 0;
    for (size_t i = 0; i < n; ++i) {
        e0 = static_cast<uint16_t>(e0 + first.word16(i));
        e1 = static_cast<uint16_t>(e1 + second.word16(i));
        if (layout.alpha) {
            alphaHalves.copy(8 * i, 8, out);
            out += 8;
        }
        out[0] = static_cast<uint8_t>(e0);
        out[1] = static_cast<uint8_t>(e0 >> 8);
        out[2] = static_cast<uint8_t>(e1);
        out[3] = static_cast<uint8_t>(e1 >> 8);
        indices.copy(4 * i, 4, out + 4);
        out += 8;
    }
}

}  // namespace

PlaneLayout planeLayoutFor(int32_t pixelFormat, size_t sourceLength) {
    const size_t length = sourceLength;
    PlaneLayout layout;
    switch (pixelFormat) {
    case 2:
    case 4:
        layout = {PlaneKind::Colour, false, length / 3 * 4, 0};
        break;
    case 3:
    case 5:
    case 12:
        layout = {PlaneKind::Colour, true, length, 0};
        break;
    case 6:
        layout = {PlaneKind::Grey, true, 2 * length, 0};
        break;
    case 7:
        layout = {PlaneKind::Grey, false, 4 * length, 0};
        break;
    case 8:
        layout = {PlaneKind::AlphaOnly, true, 4 * length, 0};
        break;
    case 9:
        layout = {PlaneKind::Block, false, length, 0};
        break;
    case 10:
    case 15:
        layout = {PlaneKind::Block, true, length, 0};
        break;
    default:  // 11 and anything else: colour planes without alpha
        layout = {PlaneKind::Colour, false, length, 0};
        break;
    }
    layout.elements = layout.decodedSize / elementSize(layout);
    return layout;
}

size_t decodePlaneElements(std::span<const uint8_t> source, const PlaneLayout& layout,
                           std::span<uint8_t> destination) {
    // Never write past the destination, whatever the layout claims.
    const size_t n = std::min(layout.elements, destination.size() / elementSize(layout));
    if (layout.kind == PlaneKind::Block) {
        decodeBlocks(source, layout, n, destination.data());
    } else {
        decodePixels(source, layout, n, destination.data());
    }
    return n * elementSize(layout);
}

void decodePlanes(std::vector<uint8_t>& pixelData, const UnpackParameters& p) {
    if ((p.textureFlags & kPlaneCodedFlag) == 0 || pixelData.empty()) {
        return;
    }
    const PlaneLayout layout = planeLayoutFor(p.pixelFormat, pixelData.size());
    // Bytes after the last whole element (a length that is not a multiple of
    // the element size) come out as 0.
    std::vector<uint8_t> decoded(layout.decodedSize);
    decodePlaneElements(pixelData, layout, decoded);
    pixelData = std::move(decoded);
}

}  // namespace lumenpull
