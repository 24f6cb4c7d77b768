#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lumenpull {

// The file types an image can be written as: TGA, PNG and DDS for 8-bit
// pictures; Radiance (.hdr), OpenEXR and DDS for high-dynamic-range ones.
enum class FileType { Tga, Png, Hdr, Dds, Exr };

// How the pixels of a decoded image lie in memory, row after row, top row
// first, without padding: one byte of grey; red, green, blue bytes; red,
// green, blue, alpha bytes; or red, green, blue 32-bit floats (linear
// values) for high-dynamic-range textures.
enum class PixelLayout { Grey8, Rgb8, Rgba8, RgbFloat };

// Values per pixel of a layout: 1, 3, 4 or 3.
uint32_t channelsOf(PixelLayout layout);

// The size of a decoded image. The height is that of the texture unless its
// pixel data ends early: then only the rows that begin inside the data are
// there, exactly as in the files the command-line tool writes.
struct ImageShape {
    uint32_t width = 0;
    uint32_t height = 0;
    PixelLayout layout = PixelLayout::Rgba8;

    // Worked out here rather than through channelsOf, so that the tool's
    // own layers, which do not link the library, can use it too.
    uint32_t channels() const { return layout == PixelLayout::Grey8 ? 1u : layout == PixelLayout::Rgba8 ? 4u : 3u; }
    // Bytes of an 8-bit image, or floats of a RgbFloat one.
    uint64_t values() const { return uint64_t{width} * height * channels(); }
};

// One decoded face or frame of a texture: `bytes` holds the values of an
// 8-bit layout, `floats` those of RgbFloat; the other one is empty.
struct Image {
    ImageShape shape;
    std::vector<uint8_t> bytes;
    std::vector<float> floats;
};

// One level of a face or frame as a DDS file carries it: whole 4 x 4
// blocks for block-coded formats (blocks the stored data does not cover are
// zero), the decoded rows otherwise (blue, green, red order as DDS stores
// them, or red, green, blue, alpha floats).
struct StoredLevel {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> bytes;
};

// The levels of one face or frame, largest first, and their format as DDS
// names it: a FourCC ("DXT1", "DXT5", "ATI2"), "L8", "R8G8B8", "A8R8G8B8",
// or "RGBA32F" for high-dynamic-range data.
struct StoredLevels {
    std::string format;
    std::vector<StoredLevel> levels;
};

}  // namespace lumenpull
