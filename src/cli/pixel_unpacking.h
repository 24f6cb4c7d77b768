#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace lumenpull {

// What the unpacking needs to know about one texture.
struct UnpackParameters {
    int32_t width = 0;
    int32_t height = 0;
    uint32_t textureFlags = 0;   // bit 9 (0x200): the data is stored as delta-coded planes
    int32_t pixelFormat = 0;     // canonical pixel format
    uint8_t bitsPerPixel = 0;    // stored bits per pixel (4, 8, 24 or 32)
    uint32_t imageCount = 1;     // faces or frames
    uint16_t layoutWord = 0;     // 0: largest mip image first in each face's block; 0x0100 (any other): last
};

inline constexpr uint32_t kPlaneCodedFlag = 0x200;

// A texture's plain images, one after another, and the buffer they lie in:
// the stored bytes, zlib's output or the decoded planes. Nothing is copied
// to make them: smaller mip levels are dropped by moving the largest images
// together inside that buffer, so only pages the steps write are touched.
class UnpackedPixels {
public:
    UnpackedPixels(std::vector<uint8_t> stored, std::unique_ptr<uint8_t[]> made, std::span<uint8_t> images)
        : stored_(std::move(stored)), made_(std::move(made)), images_(images) {}

    std::span<const uint8_t> images() const { return images_; }

private:
    // Moving either owner keeps its bytes where they are, so the view stays valid.
    std::vector<uint8_t> stored_;
    std::unique_ptr<uint8_t[]> made_;
    std::span<uint8_t> images_;
};

// Turns a texture's stored pixel data into its plain images: inflates zlib
// data, decodes delta-coded planes and keeps only the largest image of every
// face or frame. Prints nothing.
UnpackedPixels unpackedPixels(std::vector<uint8_t> stored, const UnpackParameters& p);

// The same, leaving the images in `pixelData`.
void unpackPixelData(std::vector<uint8_t>& pixelData, const UnpackParameters& p);

// Step 1. When the data looks like zlib data (0x78 at offset 0 or, after a
// four-byte prefix, at offset 4), inflates it into at most one and a half
// times the size of the largest images. Returns whether the data was
// replaced; on any failure it stays exactly as it was.
bool inflatePixelData(std::vector<uint8_t>& pixelData, const UnpackParameters& p);

// Step 1 without the final copy: the inflated bytes in the buffer zlib wrote
// them to (of which only `length` bytes are meaningful), or nothing when the
// data stays as it is. unpackPixelData hands them straight to the next step.
struct InflatedData {
    std::unique_ptr<uint8_t[]> bytes;
    size_t length = 0;

    std::span<const uint8_t> span() const { return {bytes.get(), length}; }
};
std::optional<InflatedData> inflatedPixelData(const std::vector<uint8_t>& pixelData, const UnpackParameters& p);

// Step 2. When the texture is flagged plane-coded and the data is not empty,
// turns the planes of running byte (or endpoint) sums back into pixels or
// blocks.
void decodePlanes(std::vector<uint8_t>& pixelData, const UnpackParameters& p);

// Step 3. Keeps only the largest image of each face or frame when the data
// holds smaller mip levels too. Data shorter than the largest images, or an
// image count of 0, leaves it unchanged.
void extractLargestImages(std::vector<uint8_t>& pixelData, const UnpackParameters& p);
// Where the largest images lie in `length` bytes of unpacked data: `count`
// images of `imageSize` bytes, the first at `offset`, each `stride` after
// the one before. Nothing when the data holds no smaller levels to drop
// (or is too short for the images, or there are no images).
struct LargestImages {
    uint64_t count;
    uint64_t imageSize;
    uint64_t stride;
    uint64_t offset;
};
std::optional<LargestImages> largestImagesIn(uint64_t length, const UnpackParameters& p);

// Step 3 in place: moves the largest images together inside `data` and
// returns where they now are (`data` itself when it is left as it is).
std::span<uint8_t> gatherLargestImages(std::span<uint8_t> data, const UnpackParameters& p);

// The size of the largest image of one face or frame in bytes, and the
// inflation capacity for all of them (1.5 times as much). Both follow the
// stored 32-bit width × height product (which wraps); results that do not
// fit an unsigned 32-bit number saturate (negative ones give 0).
uint32_t largestImageSize(const UnpackParameters& p);
uint32_t inflationCapacity(const UnpackParameters& p);

// The destination size handed to zlib: the capacity, but never more than
// sourceLength compressed bytes can possibly inflate to, so that a few bytes
// of data with hostile dimensions cannot make us allocate gigabytes.
uint64_t inflationBufferSize(uint32_t capacity, size_t sourceLength);

}  // namespace lumenpull
