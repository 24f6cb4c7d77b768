#pragma once

#include <cstdint>
#include <optional>

namespace lumenpull {

// Canonical pixel formats held by a texture once its stored code has been
// normalised. Stored colour pixels lie in memory as blue, green, red, fourth.
enum class PixelFormat : int32_t {
    Rgb8 = 2,
    Rgba8 = 3,
    Rgb8B = 4,
    Rgba8B = 5,
    Rgba8C = 6,
    Grey8 = 7,
    Rgba8D = 8,
    Bc1 = 9,
    Bc3 = 10,
    Block8 = 11,
    Hdr32 = 12,
    Bc5 = 15,
};

struct StoredFormat {
    int32_t canonical;
    uint8_t bitsPerPixel;
};

// Maps the code stored in a texture body to its canonical format and stored
// bits per pixel. Files of meta-data version 10 and above store the canonical
// value itself; older files use a legacy numbering. nullopt: the code is
// rejected.
std::optional<StoredFormat> normaliseStoredFormat(uint32_t storedCode, uint32_t formatVersion);

}  // namespace lumenpull
