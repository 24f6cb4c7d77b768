#pragma once

#include <cstdint>
#include <span>

#include "decode/eight_bit_rows.h"
#include "lumenpull/image.h"

namespace lumenpull {

// How a texture stores the pixels of one level: the row conversion of an
// 8-bit format, or one of the two high-dynamic-range encodings.
struct StoredForm {
    bool highDynamicRange = false;
    bool sharedExponent = false;  // high-dynamic-range: 9-bit mantissas with one exponent
    RowKind kind = RowKind::CopyStored;
    uint8_t bitsPerPixel = 32;
    uint32_t depth = 32;  // decoded bits per pixel: 8, 24 or 32 (96 for high dynamic range)
    bool blocks = false;  // stored in 4x4 blocks of 8 or 16 bytes

    // The layout of a decoded image of this form.
    PixelLayout layout() const;
};

// The stored form of a texture of canonical `format` with the given stored
// bits per pixel; throws for a format that has no picture.
StoredForm storedFormOf(PixelFormat format, bool twoChannel, uint8_t bitsPerPixel, bool sharedExponent);

// The stored bytes and picture size of one level: level 0, the largest
// image, keeps the decoder's view of the texture (only whole bands of a
// block format are stored, and its width must be a multiple of 4); every
// smaller level of a block format is whole blocks, rounded up.
struct LevelGeometry {
    uint32_t width = 0;
    uint32_t height = 0;
    uint64_t bytes = 0;
    uint32_t bands = 0;          // block formats: bands of blocks stored
    uint32_t blocksPerBand = 0;  // block formats
};
LevelGeometry levelGeometry(const StoredForm& form, uint32_t width, uint32_t height, uint32_t level);

// Encodes `image` (the level's width x height in the form's layout) over
// `stored`, which holds the level's current bytes: every pixel, or block,
// that already decodes to the image keeps its bytes, so an unchanged image
// gives the stored bytes back; bytes the decoder does not show (the fourth
// byte of 32-bit colour, the unused bytes of grey) keep their values.
void encodeLevel(const StoredForm& form, const LevelGeometry& level, const Image& image, std::span<uint8_t> stored);

// What this tool's decoder shows of a level's stored bytes, as an image of
// the level's full size (rows the data does not store are zero).
Image decodeLevel(const StoredForm& form, const LevelGeometry& level, std::span<const uint8_t> stored);

}  // namespace lumenpull
