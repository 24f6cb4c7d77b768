#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace lumenpull::test {

// Expands TGA run-length packets back into pixels (bytesPerPixel each);
// stops with a test failure on a packet that runs past the data.
std::vector<uint8_t> expandTgaPackets(std::span<const uint8_t> packets, std::size_t bytesPerPixel);

// The first pixel of every TGA packet that holds pixels of two or more rows
// of rowPixels pixels (none when each packet keeps to its row); stops with a
// test failure on a packet that runs past the data.
std::vector<std::size_t> tgaPacketsAcrossRows(std::span<const uint8_t> packets, std::size_t bytesPerPixel,
                                              std::size_t rowPixels);

// Expands the packets of one RGBE plane of n bytes starting at data[pos];
// advances pos past them.
std::vector<uint8_t> expandRgbePlane(std::span<const uint8_t> data, std::size_t& pos, std::size_t n);

// Bytes of a pseudo-random generator, repeatable for a seed.
std::vector<uint8_t> noiseBytes(std::size_t count, uint32_t seed);

}  // namespace lumenpull::test
