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
// blue, green, red, alpha.
void decodePixels(std::span<const uint8_t> source, const PlaneLayout& layout, size_t n, uint8_t* out) {
    const Plane p0(source, 0, n);
    const Plane p1(source, n, n);
    const Plane p2(source, 2 * n, n);
    const Plane p3(source, 3 * n, n);
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    uint8_t alpha = layout.alpha ? 255 : 0;
    for (size_t i = 0; i < n; ++i) {
        switch (layout.kind) {
        case PlaneKind::Colour:
            red = static_cast<uint8_t>(red + p0.byte(i));
            green = static_cast<uint8_t>(green + p1.byte(i));
            blue = static_cast<uint8_t>(blue + p2.byte(i));
            if (layout.alpha) {
                alpha = static_cast<uint8_t>(alpha + p3.byte(i));
            }
            break;
        case PlaneKind::Grey:
            red = static_cast<uint8_t>(red + p0.byte(i));
            green = red;
            blue = red;
            if (layout.alpha) {
                alpha = static_cast<uint8_t>(alpha + p1.byte(i));
            }
            break;
        case PlaneKind::AlphaOnly:
            alpha = static_cast<uint8_t>(alpha + p0.byte(i));
            break;
        case PlaneKind::Block:
            break;
        }
        out[0] = blue;
        out[1] = green;
        out[2] = red;
        out[3] = alpha;
        out += 4;
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
