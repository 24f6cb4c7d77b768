#pragma once

#include <cstdint>
#include <vector>

#include "stream/input_file.h"

namespace lumenpull {

// An input whose bytes are already in memory, read by the same streams as a
// file: the file buffer's get area is the whole of `bytes`, so every read
// is served from it and nothing touches the file system.
InputFile memoryInputFile(std::vector<uint8_t> bytes);

}  // namespace lumenpull
