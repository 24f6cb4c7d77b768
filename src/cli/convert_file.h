#pragma once

#include <string>

namespace lumenpull {

// Converts one resource file and prints its one report line.
void convertFile(const std::string& path, bool uncompressed, bool noBig);

}  // namespace lumenpull
