#pragma once

#include <cstdint>
#include <span>

namespace lumenpull {

// Row conversions of the uncompressed formats. Each writes exactly width
// output pixels to the start of the destination (which must hold them) and
// reads only the source it is given: stored bytes missing at the end of the
// source read as zero.

// 4-byte B, G, R, x pixels to B, G, R.
void convertRow32To24(std::span<const uint8_t> source, std::span<uint8_t> destination, uint32_t width);
// 4-byte B, G, R, x pixels to 255, G, R: only red and green carry data.
void convertRow32To24TwoChannel(std::span<const uint8_t> source, std::span<uint8_t> destination, uint32_t width);
// 3-byte B, G, R pixels of legacy files, kept as B, G, R.
void convertRow24To24(std::span<const uint8_t> source, std::span<uint8_t> destination, uint32_t width);
// 3-byte B, G, R pixels of legacy files to 255, G, R.
void convertRow24To24TwoChannel(std::span<const uint8_t> source, std::span<uint8_t> destination, uint32_t width);
// The first byte of every source pixel (3 or 4 bytes each) as one grey byte.
void extractGreyRow(std::span<const uint8_t> source, std::span<uint8_t> destination, uint32_t width,
                    uint32_t sourceBytesPerPixel);
// The stored bytes unchanged: fills the whole destination, zeros past the end
// of the source.
void copyStoredRow(std::span<const uint8_t> source, std::span<uint8_t> destination);

}  // namespace lumenpull
