#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "lumenpull/image.h"

namespace lumenpull {

namespace detail {
struct TextureData;
}

// How a texture's images are arranged: one picture, the six faces of a
// cube, or the frames of an animation.
enum class ImageArrangement { Single, Cube, Frames };

// What a listing (the tool's -l) shows of a texture before its pixels are
// unpacked.
struct TextureInfo {
    // The texture's number in the names of its images ("name_3.tga") when
    // the file holds several textures; none for a single texture, and for
    // textures that get no images (rejected, or without pixels).
    std::optional<uint64_t> number;
    std::string typeName;  // the stored type's name, e.g. "CStaticTexture"
    int32_t width = 0;
    int32_t height = 0;
    // The pixel format's name ("BGRA8", "BC1", "grey8", ...), "rejected" for
    // a stored code the reader does not know, "unknown" for a texture
    // without pixels whose code is not known either.
    std::string formatName;
    uint32_t storedCode = 0;        // the pixel format code as stored
    bool twoChannel = false;        // only red and green carry data
    bool highDynamicRange = false;  // decodes to float pixels (PixelLayout::RgbFloat)
    ImageArrangement arrangement = ImageArrangement::Single;
    int32_t imageCount = 1;      // faces or frames
    uint64_t storedBytes = 0;    // the pixel data as stored (packed)
    bool rejected = false;       // unknown pixel format code: no images
    bool withoutPixels = false;  // no pixel data: no images
};

// How a texture's pixel data was stored, found by unpacking it.
struct Packing {
    enum class Mips { None, LargestFirst, LargestLast };
    bool zlib = false;       // zlib-compressed
    bool planes = false;     // delta-coded planes
    Mips mips = Mips::None;  // smaller mip levels stored beside each largest image
    bool shortData = false;  // fewer bytes than the images need
};

// Options of the image files written.
struct WriteOptions {
    bool uncompressed = false;  // TGA and Radiance files without run-length packing (the tool's -u)
};

// One texture of an open Resource, valid as long as the Resource is. Every
// function is const and keeps no state: each call unpacks the stored pixel
// data again (images() decodes them all from one unpacking). Functions that decode or write throw
// lumenpull::Error with the tool's message for the texture (a rejected
// format, a texture without pixels, a format the file type cannot hold).
class Texture {
public:
    const TextureInfo& info() const;

    // Unpacks the pixel data to tell how it was stored.
    Packing packing() const;

    // The number of images the pixel data holds, up to info().imageCount:
    // those whose first stored byte is there. Unpacks the pixel data.
    int32_t availableImages() const;

    // The layout decode() fills, and the largest shape any image can have.
    ImageShape fullShape() const;

    // Decodes image `index` (a face or frame, from 0) into pixels equal to
    // those of the file the tool writes for it. Throws lumenpull::Error for
    // an image the data does not hold.
    Image image(int32_t index) const;
    // Every image the data holds (availableImages() of them), unpacking the
    // pixel data once for all.
    std::vector<Image> images() const;

    // The same into buffers the caller owns, which must hold
    // fullShape().values() bytes (8-bit layouts) or floats (RgbFloat);
    // returns the shape filled (its height may be less than the texture's).
    ImageShape decode(int32_t index, std::span<uint8_t> pixels) const;
    ImageShape decode(int32_t index, std::span<float> pixels) const;

    // The stored blocks or rows of image `index` with its smaller mip
    // levels, as a DDS file of it carries them.
    StoredLevels storedLevels(int32_t index) const;

    // Writes image `index` as one file of `type`, byte for byte the file
    // the tool writes for it (a DDS file holds the one face or frame; see
    // save for a cube map), to `path` or to `out`.
    void write(int32_t index, FileType type, const std::string& path, const WriteOptions& options = {}) const;
    void write(int32_t index, FileType type, std::ostream& out, const WriteOptions& options = {}) const;
    // The same file's bytes.
    std::vector<uint8_t> encode(int32_t index, FileType type, const WriteOptions& options = {}) const;

    // Writes every image as the tool does, named after `imageName` (a path
    // without extension): "<imageName>.<ext>", or "<imageName>_NN.<ext>"
    // for each of several images; a cube as one DDS cube map. Returns the
    // names written.
    std::vector<std::string> save(const std::string& imageName, FileType type, const WriteOptions& options = {}) const;

    explicit Texture(const detail::TextureData& data) : data_(&data) {}

private:
    const detail::TextureData* data_;
};

}  // namespace lumenpull
