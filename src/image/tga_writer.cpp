#include "image/tga_writer.h"

#include <algorithm>
#include <array>
#include <vector>

#include "image/bc_bands.h"
#include "image/image_file_name.h"
#include "image/output_file.h"
#include "image/packed_or_plain.h"
#include "image/pixel_format.h"
#include "image/row_conversion.h"
#include "image/source_bytes.h"
#include "image/texture_flags.h"
#include "image/tga_rle.h"

namespace lumenpull {

namespace {

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

struct TgaLayout {
    RowKind kind;
    uint32_t depth;  // 8, 24 or 32
    bool bands;      // block formats: each row is a band of four pixel rows
};

TgaLayout tgaLayout(int32_t format, bool twoChannel, uint8_t sourceBitsPerPixel) {
    const auto refuse = [&]() -> TgaLayout {
        throw std::string("Pixel format ") + std::to_string(format) + " with " +
            std::to_string(sourceBitsPerPixel) + " stored bits per pixel has no TGA output";
    };
    switch (static_cast<PixelFormat>(format)) {
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
                return twoChannel ? TgaLayout{RowKind::Bc3TwoChannel, 24, true} : TgaLayout{RowKind::Bc3, 32, true};
            }
            return refuse();
        case PixelFormat::Block8:
            if (sourceBitsPerPixel == 8) return {RowKind::Block8, 32, true};
            return refuse();
        case PixelFormat::Bc5:
            if (sourceBitsPerPixel == 8) return {RowKind::Bc5, 24, true};
            return refuse();
        case PixelFormat::Hdr32:
            break;
    }
    return refuse();
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

// Sizes shared by every image of one texture.
struct TgaGeometry {
    uint32_t width;
    uint32_t height;
    uint32_t outputBytesPerPixel;
    uint64_t sourceRowBytes;  // a band's stored bytes for block formats
    uint64_t outputRowBytes;  // a band's output bytes for block formats
    uint64_t rowCount;        // bands for block formats
    uint64_t imageBytes;      // stored bytes of one image
    uint64_t expectedBytes;   // plain pixel data of one image
};

TgaGeometry tgaGeometry(const TextureImage& texture, const TgaLayout& layout, uint8_t sourceBitsPerPixel) {
    TgaGeometry g{};
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
    g.imageBytes = uint64_t{g.width} * g.height * sourceBitsPerPixel / 8;
    g.expectedBytes = uint64_t{g.width} * g.height * g.outputBytesPerPixel;
    return g;
}

std::array<uint8_t, 18> tgaHeader(const TgaGeometry& g, uint32_t depth, bool compressed) {
    std::array<uint8_t, 18> header{};
    header[2] = static_cast<uint8_t>((depth == 8 ? 3 : 2) + (compressed ? 8 : 0));
    header[12] = static_cast<uint8_t>(g.width & 0xFF);
    header[13] = static_cast<uint8_t>(g.width >> 8);
    header[14] = static_cast<uint8_t>(g.height & 0xFF);
    header[15] = static_cast<uint8_t>(g.height >> 8);
    header[16] = static_cast<uint8_t>(depth);
    header[17] = 0x20;
    return header;
}

// The geometry of image `image` as written: only the rows (bands) that begin
// inside the pixel data. A cut-off image ends after its last such row, or
// band; a whole one keeps the rows of a last, partial band too.
TgaGeometry writtenGeometry(const TgaGeometry& g, bool bands, uint32_t image, std::size_t length) {
    TgaGeometry w = g;
    // A band one BC1 pixel wide stores less than a byte (its size rounds down
    // to 0); its share of the image's stored bytes measures it instead.
    const uint64_t rowSize = g.sourceRowBytes != 0 || g.rowCount == 0
                                 ? g.sourceRowBytes
                                 : (g.imageBytes + g.rowCount - 1) / g.rowCount;
    w.rowCount = rowsWithData(rowOffset(image, g.imageBytes, 0, 0), rowSize, g.rowCount, length);
    if (w.rowCount < g.rowCount) w.height = static_cast<uint32_t>(bands ? w.rowCount * 4 : w.rowCount);
    w.expectedBytes = uint64_t{w.width} * w.height * g.outputBytesPerPixel;
    return w;
}

// Decodes the rows of one image in order and hands each to emit, which
// returns false to stop early.
template <typename Emit>
void forEachRow(const TextureImage& texture, const TgaLayout& layout, const TgaGeometry& g, uint32_t image,
                std::vector<uint8_t>& row, Emit emit) {
    for (uint64_t r = 0; r < g.rowCount; ++r) {
        const auto source = clampedSource(texture.pixelData, rowOffset(image, g.imageBytes, r, g.sourceRowBytes));
        convertRow(layout.kind, source, row, g.width);
        if (!emit(std::span<const uint8_t>(row))) return;
    }
    // The rows of a last, partial band are not covered by any block: zeros.
    const uint32_t leftoverRows = layout.bands ? g.height - static_cast<uint32_t>(g.rowCount * 4) : 0;
    if (leftoverRows != 0) {
        std::fill(row.begin(), row.end(), uint8_t{0});
        emit(std::span<const uint8_t>(row).first(std::size_t{leftoverRows} * g.width * g.outputBytesPerPixel));
    }
}

// Writes one image, packed unless compression is off or the packets would
// come out larger than the plain pixel data (see writePackedOrPlain).
void writeTgaImage(const std::string& path, const TextureImage& texture, const TgaLayout& layout,
                   const TgaGeometry& g, uint32_t image, bool compression, std::vector<uint8_t>& row,
                   std::size_t packetRoom, ImageOutput& output) {
    const auto writePacked = [&](OutputFile& file) {
        file.write(tgaHeader(g, layout.depth, true));
        PackingBudget budget(g.expectedBytes);
        bool packed = true;
        forEachRow(texture, layout, g, image, row, [&](std::span<const uint8_t> pixels) {
            // Packed straight into the file's buffer; kept while they still pay.
            const std::size_t written = encodeTgaRleInto(pixels, g.outputBytesPerPixel, file.room(packetRoom));
            packed = budget.add(written);
            if (packed) file.commit(written);
            return packed;
        });
        return packed;
    };
    const auto writePlain = [&](OutputFile& file) {
        file.write(tgaHeader(g, layout.depth, false));
        forEachRow(texture, layout, g, image, row, [&](std::span<const uint8_t> pixels) {
            file.write(pixels);
            return true;
        });
    };
    writePackedOrPlain(output, path, compression, writePacked, writePlain);
}

}  // namespace

int32_t writeTga(const std::string& imageName, const TextureImage& texture, uint8_t sourceBitsPerPixel,
                 bool noCompression) {
    ImageOutput output;
    return writeTga(imageName, texture, sourceBitsPerPixel, noCompression, output);
}

int32_t writeTga(const std::string& imageName, const TextureImage& texture, uint8_t sourceBitsPerPixel,
                 bool noCompression, ImageOutput& output) {
    if (texture.imageCount <= 0) return 0;
    const TgaLayout layout = tgaLayout(texture.pixelFormat, (texture.textureFlags & TwoChannel) != 0,
                                       sourceBitsPerPixel);
    const TgaGeometry g = tgaGeometry(texture, layout, sourceBitsPerPixel);

    std::vector<uint8_t> row(static_cast<size_t>(g.outputRowBytes));  // at most 4 rows of 65535 x 4 bytes
    // Room for one row's packets at worst, in the output file's buffer.
    const std::size_t packetRoom =
        tgaRleBound(static_cast<std::size_t>(g.outputRowBytes / g.outputBytesPerPixel), g.outputBytesPerPixel);

    int32_t files = 0;
    for (int32_t i = 0; i < texture.imageCount; ++i) {
        const auto image = static_cast<uint32_t>(i);
        if (!imageHasData(image, g.imageBytes, texture.pixelData.size())) break;
        const TgaGeometry w = writtenGeometry(g, layout.bands, image, texture.pixelData.size());
        const std::string path = imageFileName(imageName, i, texture.imageCount, "tga");
        // Each image starts again with packing on.
        writeTgaImage(path, texture, layout, w, image, !noCompression, row, packetRoom, output);
        ++files;
    }
    return files;
}

}  // namespace lumenpull
