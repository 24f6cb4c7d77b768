#pragma once

#include <cstdint>

namespace lumenpull {

// The stored class of a data type: how its values are laid out.
enum class DataTypeClass : int32_t {
    Simple = 0,
    Sized = 1,
    Reference2 = 2,
    Reference3 = 3,
    FixedArray = 4,
    Structure = 5,
    DynamicArray6 = 6,
    DynamicArray7 = 7,
    ReferenceArray = 8,
    Unused9 = 9,  // never accepted from a file; held by data types never declared
    External = 10,
    Reference11 = 11,
    Reference12 = 12,
    Alias = 13,
    Template = 14,
};

}  // namespace lumenpull
