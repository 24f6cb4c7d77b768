#include "cli/convert_file.h"

#include <iostream>

namespace lumenpull {

void convertFile(const std::string& path, bool /*uncompressed*/, bool /*noBig*/) {
    // Placeholder until the resource reader and the image writers are joined.
    std::cout << path << ": " << "found, conversion pending" << std::endl;
}

}  // namespace lumenpull
