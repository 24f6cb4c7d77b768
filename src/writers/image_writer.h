#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "output/output_file.h"
#include "pixels/texture_image.h"

namespace lumenpull {

// The file types an image can be written as.
enum class ImageType { Tga, Png, Hdr, Dds, Exr };

// What the writers need beyond the texture; each reads what concerns it.
struct ImageRequest {
    uint8_t sourceBitsPerPixel = 0;  // stored bits per pixel of 8-bit pictures
    bool sharedExponent = false;     // high dynamic range in the shared-exponent encoding
    bool uncompressed = false;       // TGA and Radiance without run-length packing
    uint32_t mipLevels = 1;          // DDS: the levels stored for each image
};

// One image type: its extension (also its name for the tool's -t), the
// kinds of picture it serves, and its writer. `write` writes every image of
// the texture as files named after imageName and returns how many it wrote;
// `list` names them in `files` as `write` would, decoding nothing, and
// throws what `write` throws at the same point.
struct ImageWriter {
    ImageType type;
    std::string_view extension;
    bool eightBit;          // serves 8-bit grey and colour pictures
    bool highDynamicRange;  // serves high-dynamic-range pictures
    int32_t (*write)(const std::string& imageName, const TextureImage& texture, const ImageRequest& request,
                     ImageOutput& output);
    void (*list)(const std::string& imageName, const TextureImage& texture, const ImageRequest& request,
                 const ImageOutput& output, ImageFiles& files);
};

// Every type, in the order the tool's -t documents them.
std::span<const ImageWriter> imageWriters();

const ImageWriter& imageWriter(ImageType type);

}  // namespace lumenpull
