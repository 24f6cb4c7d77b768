#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// Writers of stored pixel data, for tests, samples and fuzz seeds: pictures,
// the stored layouts of the pixel formats, simple block encoders, zlib
// compression, plane coding and mip chains.
namespace lumenpull::test {

// An 8-bit picture: red, green, blue, alpha per pixel, rows top to bottom.
struct RgbaImage {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> rgba;

    RgbaImage(int32_t w, int32_t h) : width(w), height(h), rgba(static_cast<size_t>(w) * h * 4) {}
    uint8_t* at(int32_t x, int32_t y) { return &rgba[(static_cast<size_t>(y) * width + x) * 4]; }
    const uint8_t* at(int32_t x, int32_t y) const { return &rgba[(static_cast<size_t>(y) * width + x) * 4]; }
};

// Recognisable pictures, all opaque unless said otherwise.
// Red grows to the right, green downwards, blue is 96.
RgbaImage makeGradient(int32_t width, int32_t height);
// Hues around the centre (red to the right, then yellow, green, cyan, blue,
// magenta counter-clockwise), white at the centre; transparent black outside
// the disc.
RgbaImage makeColourWheel(int32_t width, int32_t height);
// White and dark grey cells of `cell` pixels with a pure red square of a
// quarter of the smaller side in the top-left corner.
RgbaImage makeCheckerboard(int32_t width, int32_t height, int32_t cell);

// Stored layouts of the uncompressed formats.
std::vector<uint8_t> storeBgra(const RgbaImage& image);  // blue, green, red, alpha
std::vector<uint8_t> storeBgr(const RgbaImage& image);   // blue, green, red (legacy 24-bit)
// Luminance in the first byte of each pixel of `bytesPerPixel` (3 or 4)
// bytes, the others 0.
std::vector<uint8_t> storeGrey(const RgbaImage& image, int bytesPerPixel);

// Block encoders: min/max endpoints and nearest-palette indices, valid but
// not of high quality. Width and height must be multiples of 4. Blocks come
// band by band from the top, left to right within a band.
std::vector<uint8_t> encodeBc1(const RgbaImage& image);  // 8-byte colour blocks
std::vector<uint8_t> encodeBc3(const RgbaImage& image);  // alpha block, then colour block
std::vector<uint8_t> encodeBc5(const RgbaImage& image);  // red block, then green block

// zlib compression at the best level; with `sizePrefix` the stream follows
// four bytes holding the uncompressed length (little-endian).
std::vector<uint8_t> compressZlib(std::span<const uint8_t> raw, bool sizePrefix = false);

// Stores decoded pixel data of canonical format `pixelFormat` as delta-coded
// planes: the exact inverse of plane decoding. `decoded` is what decoding
// gives: 4-byte pixels (blue, green, red, alpha; grey formats with equal
// colour bytes) or 8- or 16-byte blocks.
std::vector<uint8_t> encodePlanes(std::span<const uint8_t> decoded, int32_t pixelFormat);

// Bytes of the mip levels below the largest one, down to 1 × 1 (4 × 4 for
// block formats, whose bits per pixel are 8 or less).
size_t smallerMipLevelsSize(int32_t width, int32_t height, int bitsPerPixel);

// Stores `imageCount` largest images (held one after another in
// `largestImages`) as mip chains: each face or frame becomes its largest
// image and `smallerLevelsSize` bytes of filler levels; with layout word 0
// the largest image comes first in its block, with 0x0100 last.
std::vector<uint8_t> buildMipChain(std::span<const uint8_t> largestImages, uint32_t imageCount,
                                   size_t smallerLevelsSize, uint16_t layoutWord);

}  // namespace lumenpull::test
