#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "lumenpull/image.h"

namespace lumenpull {

// A picture file read back: its images in the layout a texture decodes to
// (one, or six faces of a cube-map DDS file, each its largest level) and,
// for a DDS file, each image's levels exactly as the file stores them.
struct Picture {
    std::vector<Image> images;
    std::vector<StoredLevels> stored;  // DDS only: one per image
};

// Values per pixel of a layout, and of an image of a shape.
inline uint32_t layoutChannels(PixelLayout layout) { return ImageShape{1, 1, layout}.channels(); }
inline std::size_t valuesOf(const ImageShape& shape) { return static_cast<std::size_t>(shape.values()); }

// Reads a picture of the type its name's extension says (.tga, .png, .dds,
// .hdr, .exr, compared without regard to ASCII case). Throws a one-line
// lumenpull::Error for a file that is truncated, damaged or of a kind these
// readers do not take; reads nothing outside `file` and allocates no more
// than its size can account for.
Picture readPicture(std::span<const uint8_t> file, std::string_view name);

// The same for a file on disk. Throws "Cannot read <why>" when it cannot be read.
Picture readPictureFile(const std::string& path);

}  // namespace lumenpull
