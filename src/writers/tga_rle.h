#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace lumenpull {

// The room encodeTgaRleInto needs for `pixelCount` pixels: the packets take
// at most one header byte per pixel on top of the pixels, and 32 bytes of
// slack let short packets be copied whole.
constexpr std::size_t tgaRleBound(std::size_t pixelCount, uint32_t bytesPerPixel) {
    return pixelCount * (bytesPerPixel + 1) + 32;
}

// Encodes a buffer of whole pixels (1, 3 or 4 bytes each), pixel rows of
// `rowPixels` pixels one after another, into TGA run-length packets written
// to the start of `out`, which must hold at least tgaRleBound bytes for the
// buffer (std::invalid_argument otherwise, for another pixel size, and for
// rows of no pixels in a buffer that has some), and returns the number of
// bytes written, packet headers included. A raw packet is n - 1 and n
// pixels, a run packet 0x80 | (n - 1) and one pixel (n from 1 to 128).
// Equal neighbours become a run from 3 pixels for 1-byte pixels and from 2
// pixels otherwise. Every packet ends at or before the end of its row (the
// last row may be shorter): readers decode a row at a time and refuse a
// packet that runs on into the next, so each row is packed as if it were
// alone. An empty buffer writes nothing.
std::size_t encodeTgaRleInto(std::span<const uint8_t> pixels, uint32_t bytesPerPixel, std::size_t rowPixels,
                             std::span<uint8_t> out);

}  // namespace lumenpull
