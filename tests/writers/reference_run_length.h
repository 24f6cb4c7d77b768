#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace lumenpull::test {

// The run-length packet rules written out step by step, pixel by pixel, as
// the file formats define them: the yardstick the fast encoders are compared
// with.

// TGA packets of a buffer of whole pixels (1, 3 or 4 bytes each) in rows of
// rowPixels pixels (the last may be shorter): each row is packed on its own,
// so no packet holds pixels of two rows.
std::vector<uint8_t> referenceTgaRle(std::span<const uint8_t> pixels, std::size_t bytesPerPixel, std::size_t rowPixels);

// The same for pixels that are all one row.
std::vector<uint8_t> referenceTgaRle(std::span<const uint8_t> pixels, std::size_t bytesPerPixel);

// One Radiance scanline: the 4-byte header and the four planes' packets.
std::vector<uint8_t> referenceRgbeScanline(std::span<const uint8_t> scanline);

}  // namespace lumenpull::test
