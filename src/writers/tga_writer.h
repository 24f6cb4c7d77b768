#pragma once

#include <cstdint>
#include <string>

#include "output/output_file.h"
#include "pixels/texture_image.h"

namespace lumenpull {

// Writes every image of a texture (any canonical format but 12) as a TGA file
// named after imageName (see imageFileName): an 18-byte header with
// descriptor 0x20 (top-left origin), then the rows decoded one row, or one
// band of four rows, at a time. Rows are run-length packed, every packet
// ending with its pixel row (in bands too), unless noCompression is set or
// the image's packed pixel data comes out larger than its plain pixel data:
// the packets go to the file as each row is packed, and once their total
// passes the plain size the file is written again, uncompressed (see
// writePackedOrPlain).
// sourceBitsPerPixel is the stored size the code tables gave for the format.
// Only images whose first stored byte lies inside the pixel data are
// written, and of each only the rows (bands) that begin inside it: data too
// short for its dimensions gives smaller images, never images of zeros.
// Each image goes to `output`, which puts it in place once it is complete.
// Returns the number of files written.
// Throws "Error creating output file: <name>: <reason>" when a file cannot be
// created, "Error writing output file: <name>: <reason>" when its bytes
// cannot be written, and a one-line text for a format that has no TGA output
// or a name that is too long. Images finished before stay.
int32_t writeTga(const std::string& imageName, const TextureImage& texture, uint8_t sourceBitsPerPixel,
                 bool noCompression, ImageOutput& output);
// The same, each image put in place as soon as it is written.
int32_t writeTga(const std::string& imageName, const TextureImage& texture, uint8_t sourceBitsPerPixel,
                 bool noCompression);

// Lists the files writeTga writes in `files`, one by one as it would write
// them through `output`, and throws what it throws at the same point;
// nothing is decoded.
void listTgaFiles(const std::string& imageName, const TextureImage& texture, uint8_t sourceBitsPerPixel,
                  const ImageOutput& output, ImageFiles& files);

}  // namespace lumenpull
