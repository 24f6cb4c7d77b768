#pragma once

#include <cstdint>
#include <vector>

#include "lumenpull/image.h"

namespace lumenpull {

// The levels of a one-image DDS file as the DDS writer wrote it (a 128-byte
// header, then every level, largest first), each level's bytes apart.
StoredLevels splitDdsFile(const std::vector<uint8_t>& file);

}  // namespace lumenpull
