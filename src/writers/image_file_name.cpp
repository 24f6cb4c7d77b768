#include "writers/image_file_name.h"

#include <cstdio>

#include "output/platform_output.h"
#include "lumenpull/error.h"

namespace lumenpull {

std::string imageFileName(const std::string& imageName, int32_t index, int32_t imageCount, std::string_view extension) {
    std::string name = imageName;
    if (imageCount > 1) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, "_%02d", static_cast<int>(index));
        name += suffix;
    }
    name += '.';
    name += extension;
    if (name.size() > longestOutputPath()) {
        throw Error("Output file name longer than " + std::to_string(longestOutputPath()) + " characters");
    }
    return name;
}

}  // namespace lumenpull
