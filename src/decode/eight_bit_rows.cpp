#include "decode/eight_bit_rows.h"

#include <algorithm>
#include <string>

#include "decode/bc_bands.h"
#include "decode/normal_z.h"
#include "pixels/pixel_format.h"
#include "pixels/texture_flags.h"
#include "decode/row_conversion.h"
#include "lumenpull/error.h"

namespace lumenpull {

RowLayout rowLayout(PixelFormat format, bool twoChannel, uint8_t sourceBitsPerPixel) {
    const auto refuse = [&]() -> RowLayout {
        throw Error(std::string("Pixel format ") + std::to_string(static_cast<int32_t>(format)) + " with " +
                    std::to_string(sourceBitsPerPixel) + " stored bits per pixel has no TGA output");
    };
    switch (format) {
        case PixelFormat::Rgb8:
        case PixelFormat::Rgb8B:
            if (sourceBitsPerPixel == 32) return {twoChannel ? RowKind::Bgr32TwoChannel : RowKind::Bgr32, 24, false};
            if (sourceBitsPerPixel == 24) return {twoChannel ? RowKind::Bgr24TwoChannel : RowKind::Bgr24, 24, false};
            return refuse();
        case PixelFormat::Rgba8:
        case PixelFormat::Rgba8B:
        case PixelFormat::Rgba8C:
        case PixelFormat::Rgba8D:
            if (sourceBitsPerPixel == 32) return {RowKind::CopyStored, 32, false};
            return refuse();
        case PixelFormat::Grey8:
            if (sourceBitsPerPixel == 32) return {RowKind::Grey32, 8, false};
            if (sourceBitsPerPixel == 24) return {RowKind::Grey24, 8, false};
            return refuse();
        case PixelFormat::Bc1:
            if (sourceBitsPerPixel == 4) return {RowKind::Bc1, 24, true};
            return refuse();
        case PixelFormat::Bc3:
            if (sourceBitsPerPixel == 8) {
                return twoChannel ? RowLayout{RowKind::Bc3TwoChannel, 24, true} : RowLayout{RowKind::Bc3, 32, true};
            }
            return refuse();
        case PixelFormat::Block8:
            if (sourceBitsPerPixel == 8) return {RowKind::Block8, 32, true};
            return refuse();
        case PixelFormat::Bc5:
            if (sourceBitsPerPixel == 8) return {RowKind::Bc5, 24, true};
            return refuse();
        case PixelFormat::Hdr32: break;
    }
    return refuse();
}

RowLayout rowLayout(const TextureImage& texture, uint8_t sourceBitsPerPixel) {
    RowLayout layout = rowLayout(texture.pixelFormat, (texture.textureFlags & TwoChannel) != 0, sourceBitsPerPixel);
    layout.normalZ = texture.normalZ && holdsTwoChannels(layout.kind);
    return layout;
}

bool holdsTwoChannels(RowKind kind) {
    return kind == RowKind::Bgr32TwoChannel || kind == RowKind::Bgr24TwoChannel || kind == RowKind::Bc3TwoChannel ||
           kind == RowKind::Bc5;
}

void convertRow(const RowLayout& layout, std::span<const uint8_t> source, std::span<uint8_t> row, uint32_t width) {
    convertRow(layout.kind, source, row, width);
    if (layout.normalZ)
        reconstructZ(row.first(std::min<std::size_t>(row.size(), std::size_t{width} * 3 * (layout.bands ? 4 : 1))));
}

void convertRow(RowKind kind, std::span<const uint8_t> source, std::span<uint8_t> row, uint32_t width) {
    switch (kind) {
        case RowKind::Bgr32: convertRow32To24(source, row, width); break;
        case RowKind::Bgr32TwoChannel: convertRow32To24TwoChannel(source, row, width); break;
        case RowKind::Bgr24: convertRow24To24(source, row, width); break;
        case RowKind::Bgr24TwoChannel: convertRow24To24TwoChannel(source, row, width); break;
        case RowKind::Grey24: extractGreyRow(source, row, width, 3); break;
        case RowKind::Grey32: extractGreyRow(source, row, width, 4); break;
        case RowKind::CopyStored: copyStoredRow(source, row); break;
        case RowKind::Bc1: decodeBc1Band(source, row, width); break;
        case RowKind::Bc3: decodeBc3Band(source, row, width); break;
        case RowKind::Bc3TwoChannel: decodeBc3TwoChannelBand(source, row, width); break;
        case RowKind::Bc5: decodeBc5Band(source, row, width); break;
        case RowKind::Block8: copyBlock8Band(source, row, width); break;
    }
}

RowGeometry rowGeometry(const TextureImage& texture, const RowLayout& layout, uint8_t sourceBitsPerPixel) {
    RowGeometry g{};
    g.width = static_cast<uint16_t>(texture.width);
    g.height = static_cast<uint16_t>(texture.height);
    g.outputBytesPerPixel = layout.depth / 8;
    g.sourceRowBytes = uint64_t{g.width} * sourceBitsPerPixel / 8;
    g.outputRowBytes = uint64_t{g.width} * g.outputBytesPerPixel;
    g.rowCount = g.height;
    if (layout.bands) {
        g.sourceRowBytes *= 4;
        g.outputRowBytes *= 4;
        g.rowCount = g.height / 4;
    }
    g.imageBytes = storedImageBytes(texture.width, texture.height, sourceBitsPerPixel);
    g.expectedBytes = uint64_t{g.width} * g.height * g.outputBytesPerPixel;
    return g;
}

// The geometry of image `image` as written: only the rows (bands) that begin
// inside the pixel data. A cut-off image ends after its last such row, or
// band; a whole one keeps the rows of a last, partial band too.
RowGeometry writtenGeometry(const RowGeometry& g, bool bands, uint32_t image, std::size_t length) {
    RowGeometry w = g;
    // A band one BC1 pixel wide stores less than a byte (its size rounds down
    // to 0); its share of the image's stored bytes measures it instead.
    const uint64_t rowSize =
        g.sourceRowBytes != 0 || g.rowCount == 0 ? g.sourceRowBytes : (g.imageBytes + g.rowCount - 1) / g.rowCount;
    w.rowCount = rowsWithData(rowOffset(image, g.imageBytes, 0, 0), rowSize, g.rowCount, length);
    if (w.rowCount < g.rowCount) w.height = static_cast<uint32_t>(bands ? w.rowCount * 4 : w.rowCount);
    w.expectedBytes = uint64_t{w.width} * w.height * g.outputBytesPerPixel;
    return w;
}

}  // namespace lumenpull
