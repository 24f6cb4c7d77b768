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
        case 12: return StoredFormat{static_cast<int32_t>(code), 32};
        case 9: return StoredFormat{9, 4};
        case 10:
        case 15: return StoredFormat{static_cast<int32_t>(code), 8};
        default: return std::nullopt;  // 11, 13 and 14 included: never stored by current files
    }
}

std::optional<StoredFormat> legacyFormat(uint32_t code) {
    // Indexed by the legacy code; canonical 0 marks a rejected code.
    static constexpr std::array<StoredFormat, 13> table{{
        {2, 24},
        {3, 32},
        {4, 24},
        {5, 32},
        {5, 32},
        {6, 32},
        {7, 24},
        {9, 4},
        {11, 8},
        {10, 8},
        {0, 0},
        {8, 32},
        {12, 32},
    }};
    if (code >= table.size() || table[code].canonical == 0) return std::nullopt;
    return table[code];
}

}  // namespace

std::optional<StoredFormat> normaliseStoredFormat(uint32_t storedCode, uint32_t formatVersion) {
    return formatVersion >= 10 ? currentFormat(storedCode) : legacyFormat(storedCode);
}

}  // namespace lumenpull
