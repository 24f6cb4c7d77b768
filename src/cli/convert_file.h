#pragma once

#include <ostream>
#include <string>

namespace lumenpull {

// Converts one resource file and prints its one report line on `out`.
void convertFile(const std::string& path, bool uncompressed, bool noBig, std::ostream& out);

}  // namespace lumenpull
