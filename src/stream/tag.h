#pragma once

#include <cstdint>

namespace lumenpull {

// A tag is four file bytes taken as one little-endian u32; MakeTag("META")
// gives the value whose bytes in file order spell the letters.
constexpr uint32_t MakeTag(const char (&letters)[5]) {
    return static_cast<uint32_t>(static_cast<uint8_t>(letters[0])) |
           static_cast<uint32_t>(static_cast<uint8_t>(letters[1])) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(letters[2])) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(letters[3])) << 24;
}

static_assert(MakeTag("META") == 1096041805u);

}  // namespace lumenpull
