#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace lumenpull {

// Fills one row of interleaved red, green and blue floats (3 × width
// values); rows are asked for top row first, each once.
using ExrRowSource = std::function<void(uint32_t row, std::span<float> rgb)>;

// Assembles in memory an OpenEXR file of one scanline part: red, green and
// blue channels of 32-bit floats, ZIP-compressed, increasing Y. Every chunk
// is stored either compressed to fewer bytes than its raw rows or as the raw
// rows themselves, the only two forms a reader can tell apart. `path` names
// the file in the error thrown: "Error writing output file: <path>: <reason>".
std::vector<uint8_t> encodeExrRgb(const std::string& path, uint32_t width, uint32_t height, const ExrRowSource& rows);

}  // namespace lumenpull
