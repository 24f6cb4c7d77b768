#pragma once

#include <cstdint>
#include <stdexcept>

namespace lumenpull {

// The largest table of records or objects, and the largest member list, that
// the file format allows; counts beyond them are refused before anything is
// sized for them.
constexpr int64_t kMaxTableCount = 1073741823;
constexpr int64_t kMaxMemberCount = 268435455;

// A checked table lookup outside its table.
[[noreturn]] inline void ThrowBadSubscript() { throw std::out_of_range("invalid vector subscript"); }

// A count used as a table size that no table may have.
[[noreturn]] inline void ThrowTooLong() { throw std::length_error("vector too long"); }

inline void CheckSubscript(int64_t index, int64_t size) {
    if (index < 0 || index >= size) ThrowBadSubscript();
}

inline int32_t CheckedTableCount(int64_t count, int64_t limit = kMaxTableCount) {
    if (count < 0 || count > limit) ThrowTooLong();
    return static_cast<int32_t>(count);
}

}  // namespace lumenpull
