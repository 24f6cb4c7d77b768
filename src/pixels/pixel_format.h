#pragma once

#include <cstdint>
#include <optional>

namespace lumenpull {

// Canonical pixel formats held by a texture once its stored code has been
// normalised; the value is the code current files store. Colour pixels lie
// in memory as blue, green, red, fourth byte; the letter variants store the
// same pixels as their plain kin and are kept apart because files name them
// apart (the listing shows "BGR8-B", "BGRA8-C", ...).
enum class PixelFormat : int32_t {
    Rgb8 = 2,     // blue, green, red, one ignored byte per pixel (24 bits of legacy files)
    Rgba8 = 3,    // blue, green, red, alpha bytes
    Rgb8B = 4,    // as Rgb8
    Rgba8B = 5,   // as Rgba8
    Rgba8C = 6,   // as Rgba8
    Grey8 = 7,    // grey in the first byte of a 4-byte pixel (3 bytes in legacy files)
    Rgba8D = 8,   // as Rgba8
    Bc1 = 9,      // 4x4 blocks of 8 bytes: two colour endpoints and 2-bit indices
    Bc3 = 10,     // 4x4 blocks of 16 bytes: an alpha block, then a colour block
    Block8 = 11,  // 4x4 blocks of 16 bytes of legacy files, written as stored (not decoded)
    Hdr32 = 12,   // high dynamic range: 4 bytes per pixel, an exponent byte or a shared exponent
    Bc5 = 15,     // 4x4 blocks of 16 bytes: two channel blocks, red then green
};

struct StoredFormat {
    PixelFormat canonical;
    uint8_t bitsPerPixel;
};

// Maps the code stored in a texture body to its canonical format and stored
// bits per pixel. Files of meta-data version 10 and above store the canonical
// value itself; older files use a legacy numbering. nullopt: the code is
// rejected.
std::optional<StoredFormat> normaliseStoredFormat(uint32_t storedCode, uint32_t formatVersion);

}  // namespace lumenpull
