#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "pixels/pixel_format.h"

namespace lumenpull {

// How plane-coded data of one pixel format is laid out.
enum class PlaneKind {
    Colour,     // red, green, blue (and alpha) planes of byte deltas
    Grey,       // a grey plane (and an alpha plane)
    AlphaOnly,  // an alpha plane; red, green and blue stay 0
    Block,      // endpoint-delta, index (and alpha-half) planes of 4x4 blocks
};

struct PlaneLayout {
    PlaneKind kind = PlaneKind::Colour;
    bool alpha = false;      // the format has a fourth (alpha) channel
    size_t decodedSize = 0;  // bytes of the decoded buffer
    size_t elements = 0;     // pixels, or blocks for the block kind
};

// The layout of `sourceLength` plane-coded bytes of canonical format `pixelFormat`.
// Throws std::bad_alloc when the decoded size does not fit size_t.
PlaneLayout planeLayoutFor(PixelFormat pixelFormat, size_t sourceLength);

// Decodes layout.elements pixels (4 bytes: blue, green, red, alpha) or blocks
// (8 or 16 bytes) from `source` into the start of `destination`, which must
// hold layout.decodedSize bytes; the bytes after the last element are left as
// they are. A source shorter than the planes need reads its missing bytes as 0.
// Returns the bytes written.
size_t decodePlaneElements(std::span<const uint8_t> source, const PlaneLayout& layout, std::span<uint8_t> destination);

// Evenly spaced stretches of elements: `count` stretches of `length`
// elements, the first at element `first`, each `stride` after the one before.
struct Stretches {
    uint64_t first = 0;
    uint64_t stride = 0;
    uint64_t length = 0;
    uint64_t count = 0;
};

// Decodes only the elements of the stretches (the planes' sums still run
// through the elements between them) one after another into `destination`,
// and returns the bytes written; elements past layout.elements, or past what
// the destination holds, end the decoding.
size_t decodePlaneStretches(std::span<const uint8_t> source, const PlaneLayout& layout, const Stretches& stretches,
                            std::span<uint8_t> destination);

// The bytes of one element: 4 for pixels, 8 or 16 for blocks.
size_t elementSizeOf(const PlaneLayout& layout);

}  // namespace lumenpull
