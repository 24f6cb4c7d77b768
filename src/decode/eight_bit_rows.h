#pragma once

// The rows of an 8-bit picture (grey; blue, green, red; blue, green, red,
// alpha) as every 8-bit writer stores them: decoded from the stored pixel
// data one row, or one band of four rows for block formats, at a time.

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

#include "pixels/source_bytes.h"
#include "pixels/texture_image.h"

namespace lumenpull {

enum class RowKind {
    Bgr32,
    Bgr32TwoChannel,
    Bgr24,
    Bgr24TwoChannel,
    Grey24,
    Grey32,
    CopyStored,
    Bc1,
    Bc3,
    Bc3TwoChannel,
    Bc5,
    Block8,
};

struct RowLayout {
    RowKind kind;
    uint32_t depth;        // 8, 24 or 32
    bool bands;            // block formats: each row is a band of four pixel rows
    bool normalZ = false;  // two-channel rows: blue is set to the reconstructed Z
};

// The row conversion and output depth of a canonical format with the
// stored bits per pixel the code tables gave. Throws a one-line text for a
// format that has no 8-bit picture.
RowLayout rowLayout(PixelFormat format, bool twoChannel, uint8_t sourceBitsPerPixel);

// The same for a texture: its format and two-channel flag, with the
// reconstructed Z where it asks for it and the rows hold two channels.
RowLayout rowLayout(const TextureImage& texture, uint8_t sourceBitsPerPixel);

// Whether rows of this kind carry two channels (blue set to full).
bool holdsTwoChannels(RowKind kind);

// Fills `row` (a row, or a band of four rows) from the stored bytes.
void convertRow(RowKind kind, std::span<const uint8_t> source, std::span<uint8_t> row, uint32_t width);
// The same, with the reconstructed Z where the layout asks for it.
void convertRow(const RowLayout& layout, std::span<const uint8_t> source, std::span<uint8_t> row, uint32_t width);

// Sizes shared by every image of one texture.
struct RowGeometry {
    uint32_t width;
    uint32_t height;
    uint32_t outputBytesPerPixel;
    uint64_t sourceRowBytes;  // a band's stored bytes for block formats
    uint64_t outputRowBytes;  // a band's output bytes for block formats
    uint64_t rowCount;        // bands for block formats
    uint64_t imageBytes;      // stored bytes of one image
    uint64_t expectedBytes;   // plain pixel data of one image
};

RowGeometry rowGeometry(const TextureImage& texture, const RowLayout& layout, uint8_t sourceBitsPerPixel);

// The geometry of image `image` as written: only the rows (bands) that begin
// inside the pixel data. A cut-off image ends after its last such row, or
// band; a whole one keeps the rows of a last, partial band too.
RowGeometry writtenGeometry(const RowGeometry& g, bool bands, uint32_t image, std::size_t length);

// Decodes the rows of one image in order and hands each to emit, which
// returns false to stop early.
template <typename Emit>
void forEachRow(const TextureImage& texture, const RowLayout& layout, const RowGeometry& g, uint32_t image,
                std::vector<uint8_t>& row, Emit emit) {
    for (uint64_t r = 0; r < g.rowCount; ++r) {
        const auto source = clampedSource(texture.pixelData, rowOffset(image, g.imageBytes, r, g.sourceRowBytes));
        convertRow(layout, source, row, g.width);
        if (!emit(std::span<const uint8_t>(row))) return;
    }
    // The rows of a last, partial band are not covered by any block: zeros.
    const uint32_t leftoverRows = layout.bands ? g.height - static_cast<uint32_t>(g.rowCount * 4) : 0;
    if (leftoverRows != 0) {
        std::fill(row.begin(), row.end(), uint8_t{0});
        emit(std::span<const uint8_t>(row).first(std::size_t{leftoverRows} * g.width * g.outputBytesPerPixel));
    }
}

}  // namespace lumenpull
