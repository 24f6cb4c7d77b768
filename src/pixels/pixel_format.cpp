#include "pixels/pixel_format.h"

#include <array>

namespace lumenpull {

namespace {

std::optional<StoredFormat> currentFormat(uint32_t code) {
    switch (code) {
        case 2:
        case 3:
        case 4:
        case 5:
        case 6:
        case 7:
        case 8:
        case 12: return StoredFormat{static_cast<PixelFormat>(code), 32};
        case 9: return StoredFormat{PixelFormat::Bc1, 4};
        case 10:
        case 15: return StoredFormat{static_cast<PixelFormat>(code), 8};
        default: return std::nullopt;  // 11, 13 and 14 included: never stored by current files
    }
}

std::optional<StoredFormat> legacyFormat(uint32_t code) {
    using enum PixelFormat;
    // Indexed by the legacy code; 0 bits per pixel marks a rejected code.
    static constexpr std::array<StoredFormat, 13> table{{
        {Rgb8, 24},
        {Rgba8, 32},
        {Rgb8B, 24},
        {Rgba8B, 32},
        {Rgba8B, 32},
        {Rgba8C, 32},
        {Grey8, 24},
        {Bc1, 4},
        {Block8, 8},
        {Bc3, 8},
        {Rgb8, 0},
        {Rgba8D, 32},
        {Hdr32, 32},
    }};
    if (code >= table.size() || table[code].bitsPerPixel == 0) return std::nullopt;
    return table[code];
}

}  // namespace

std::optional<StoredFormat> normaliseStoredFormat(uint32_t storedCode, uint32_t formatVersion) {
    return formatVersion >= 10 ? currentFormat(storedCode) : legacyFormat(storedCode);
}

}  // namespace lumenpull
