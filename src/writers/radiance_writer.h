#pragma once

#include <string>

#include "output/output_file.h"
#include "pixels/texture_image.h"

namespace lumenpull {

// Widths that Radiance run-length scanlines can describe; readers take rows
// of any other width as flat pixels, so such images are written flat.
constexpr uint32_t MinRunLengthWidth = 8;
constexpr uint32_t MaxRunLengthWidth = 32767;

// Writes every image of a high-dynamic-range texture (4 stored bytes per
// pixel, exponent-byte or shared-exponent encoding) as a Radiance RGBE file
// named after imageName with the extension "hdr". Rows are planar run-length
// scanlines unless noCompression is set, the width is outside the run-length
// range, or the packed data comes out larger than the flat pixels (then the
// image is written again flat). As with TGA output, only images whose first
// stored byte lies inside the pixel data are written, and of each only the
// rows that begin inside it. Each image goes to `output`, which puts it in
// place once it is complete. Returns the number of files written. Throws
// "Error creating output file: <name>: <reason>" when a file cannot be
// created and "Error writing output file: <name>: <reason>" when its bytes
// cannot be written; images finished before stay.
int32_t writeRadiance(const std::string& imageName, const TextureImage& texture, bool sharedExponent,
                      bool noCompression, ImageOutput& output);
// The same, each image put in place as soon as it is written.
int32_t writeRadiance(const std::string& imageName, const TextureImage& texture, bool sharedExponent,
                      bool noCompression);

// Lists the files writeRadiance writes in `files`, one by one as it would
// write them through `output`, and throws what it throws at the same point;
// nothing is decoded.
void listRadianceFiles(const std::string& imageName, const TextureImage& texture, const ImageOutput& output,
                       ImageFiles& files);

}  // namespace lumenpull
