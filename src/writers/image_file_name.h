#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lumenpull {

// The file name of image index of a texture with imageCount images:
// "name.ext" for a single image, "name_NN.ext" (two digits at least) when
// there are several. Where the platform limits output paths (Windows), a
// longer name throws "Output file name longer than 511 characters" rather
// than being cut short, since a shortened name could overwrite another file.
std::string imageFileName(const std::string& imageName, int32_t index, int32_t imageCount, std::string_view extension);

}  // namespace lumenpull
