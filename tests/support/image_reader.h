#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lumenpull::test {

// An image as an independent reader decoded it.
struct ReadImage {
    std::string mode;  // the reader's own description ("L", "RGB", "RGBA" for Pillow; "float" for OpenCV)
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgba;  // Pillow: 8-bit red, green, blue, alpha per pixel
    std::vector<float> rgb;     // OpenCV: linear red, green, blue per pixel
};

// Reads a TGA (or any format Pillow knows) with Debian's Python and Pillow.
// Throws std::runtime_error when the reader fails or refuses the file.
ReadImage readWithPillow(const std::string& path);

// Reads a Radiance .hdr file with OpenCV.
ReadImage readHdrWithOpenCv(const std::string& path);

// Reads an OpenEXR file with OpenCV (which reads EXR only when asked to).
ReadImage readExrWithOpenCv(const std::string& path);

}  // namespace lumenpull::test
