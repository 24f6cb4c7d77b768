#pragma once

#include <cstdint>
#include <string>

#include "output/output_file.h"
#include "pixels/texture_image.h"

namespace lumenpull {

// Writes every image of a high-dynamic-range texture (4 stored bytes per
// pixel, exponent-byte or shared-exponent encoding) as an OpenEXR file
// named after imageName with the extension "exr": red, green and blue
// channels of 32-bit floats (the decoded values, rounded to float once),
// ZIP-compressed scanlines, top row first. As with Radiance output, only
// images whose first stored byte lies inside the pixel data are written,
// and of each only the rows that begin inside it. Returns the number of
// files written. Each file goes to `output`, which puts it in place once it
// is complete. Throws "Error creating output file: <name>: <reason>" or
// "Error writing output file: <name>: <reason>", and a one-line text for an
// image of no pixels. Files finished before stay.
int32_t writeExr(const std::string& imageName, const TextureImage& texture, bool sharedExponent, ImageOutput& output);
// The same, each file put in place as soon as it is written.
int32_t writeExr(const std::string& imageName, const TextureImage& texture, bool sharedExponent);

// Lists the files writeExr writes in `files`, one by one as it would write
// them through `output`, and throws what it throws at the same point;
// nothing is decoded.
void listExrFiles(const std::string& imageName, const TextureImage& texture, const ImageOutput& output,
                  ImageFiles& files);

}  // namespace lumenpull
