#pragma once

#include <cstdint>
#include <string>

#include "output/output_file.h"
#include "pixels/texture_image.h"

namespace lumenpull {

// Writes every image of a texture (any canonical format but 12) as a PNG
// file named after imageName (see imageFileName) with the extension "png":
// 8-bit greyscale, RGB or RGBA, holding exactly the pixels the TGA file of
// the same texture holds, top row first. Rows are decoded one row, or one
// band of four rows, at a time and compressed as they come. As with TGA
// output, only images whose first stored byte lies inside the pixel data are
// written, and of each only the rows (bands) that begin inside it. Each image
// goes to `output`, which puts it in place once it is complete. Returns the
// number of files written. Throws "Error creating output file: <name>:
// <reason>" when a file cannot be created, "Error writing output file:
// <name>: <reason>" when its bytes cannot be written, and a one-line text for
// a picture PNG cannot hold (no rows or no columns) or a format that has no
// 8-bit picture. Images finished before stay.
int32_t writePng(const std::string& imageName, const TextureImage& texture, uint8_t sourceBitsPerPixel,
                 ImageOutput& output);
// The same, each image put in place as soon as it is written.
int32_t writePng(const std::string& imageName, const TextureImage& texture, uint8_t sourceBitsPerPixel);

// Lists the files writePng writes in `files`, one by one as it would write
// them through `output`, and throws what it throws at the same point;
// nothing is decoded.
void listPngFiles(const std::string& imageName, const TextureImage& texture, uint8_t sourceBitsPerPixel,
                  const ImageOutput& output, ImageFiles& files);

}  // namespace lumenpull
