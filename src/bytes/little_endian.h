#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace lumenpull {

// Every multi-byte integer the converter reads from a file or from pixel
// data is little-endian. On a little-endian host these are plain loads.
constexpr uint16_t loadLittleEndian16(const uint8_t* p) {
    if (!std::is_constant_evaluated() && std::endian::native == std::endian::little) {
        uint16_t value;
        std::memcpy(&value, p, 2);
        return value;
    }
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

constexpr uint32_t loadLittleEndian32(const uint8_t* p) {
    if (!std::is_constant_evaluated() && std::endian::native == std::endian::little) {
        uint32_t value;
        std::memcpy(&value, p, 4);
        return value;
    }
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

}  // namespace lumenpull
