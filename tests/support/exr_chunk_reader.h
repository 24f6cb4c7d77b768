#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace lumenpull::test {

// One scanline chunk as the file stores it.
struct ExrChunk {
    uint64_t storedBytes = 0;  // the bytes the chunk holds
    uint64_t rawBytes = 0;     // the bytes of its rows uncompressed
};

// An RGB float picture as OpenEXR's own reader decodes it.
struct ExrPicture {
    int width = 0;
    int height = 0;
    std::vector<float> rgb;  // red, green, blue per pixel, top row first
    std::vector<ExrChunk> chunks;
};

// Decodes a scanline OpenEXR file of float R, G and B channels held in
// memory with the library's reader. Throws std::runtime_error when the
// library refuses it.
ExrPicture readExrRgb(std::span<const uint8_t> file);

}  // namespace lumenpull::test
