#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace lumenpull::test {

// Expands TGA run-length packets back into pixels (bytesPerPixel each);
// stops with a test failure on a packet that runs past the data.
std::vector<uint8_t> expandTgaPackets(std::span<const uint8_t> packets, std::size_t bytesPerPixel);

// Expands the packets of one RGBE plane of n bytes starting at data[pos];
// advances pos past them.
std::vector<uint8_t> expandRgbePlane(std::span<const uint8_t> data, std::size_t& pos, std::size_t n);

// Bytes of a pseudo-random generator, repeatable for a seed.
std::vector<uint8_t> noiseBytes(std::size_t count, uint32_t seed);

}  // namespace lumenpull::test
