#pragma once

#include <cstdint>

#include "stream/counted_string.h"

namespace lumenpull {

// A file that this resource file's external objects live in.
struct ReferencedFile {
    uint32_t word = 0;  // kept, not interpreted
    CountedString fileName;
};

}  // namespace lumenpull
