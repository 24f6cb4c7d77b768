#pragma once

#include <cstdint>
#include <string>

#include "output/output_file.h"
#include "pixels/texture_image.h"

namespace lumenpull {

// Writes the images of a texture as DDS files with the legacy 124-byte
// header (mip-map count and its flag always set):
// - BC1, BC3 (two-channel too) and BC5 keep their stored blocks as DXT1,
//   DXT5 and ATI2. Blocks are counted rounded up; blocks the stored bands do
//   not cover (width or height not a multiple of 4) are zero.
// - Every other 8-bit format holds the pixels a TGA file would hold,
//   uncompressed: grey as L8, 24-bit as R8G8B8, 32-bit as A8R8G8B8.
// - High-dynamic-range data as 32-bit float red, green, blue, alpha
//   (FourCC 116), the decoded values with alpha 1.0.
// A cube texture (six faces) becomes one cube-map file named after
// imageName; the images of any other texture one file each, named as TGA
// files are (see imageFileName). mipLevels > 1 says that each face or frame
// of the pixel data holds its whole chain of that many levels, largest
// first (the sizes of storedLevelBytes), and every file carries it. As with
// TGA output, only images whose first stored byte lies inside the pixel data
// are written, and of each only the rows (bands) that begin inside it; a
// cube whose six faces are not all there is written as one file per face.
// Each file goes to `output`, which puts it in place once it is complete.
// Returns the number of images written (a cube-map file holds six). Throws
// "Error creating output file: <name>: <reason>" or "Error writing output
// file: <name>: <reason>", and a one-line text for a format that has no DDS
// output or an image of no pixels. Files finished before stay.
int32_t writeDds(const std::string& imageName, const TextureImage& texture, uint8_t sourceBitsPerPixel,
                 bool sharedExponent, uint32_t mipLevels, ImageOutput& output);
// The same, each file put in place as soon as it is written.
int32_t writeDds(const std::string& imageName, const TextureImage& texture, uint8_t sourceBitsPerPixel,
                 bool sharedExponent, uint32_t mipLevels);

// Lists the files writeDds writes in `files`, one by one as it would write
// them through `output` (a cube-map file with its six images), and throws
// what it throws at the same point; nothing is decoded.
void listDdsFiles(const std::string& imageName, const TextureImage& texture, uint8_t sourceBitsPerPixel,
                  uint32_t mipLevels, const ImageOutput& output, ImageFiles& files);

}  // namespace lumenpull
