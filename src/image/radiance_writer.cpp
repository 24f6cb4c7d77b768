#include "image/radiance_writer.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string_view>
#include <vector>

#include "image/hdr_row.h"
#include "image/image_file_name.h"
#include "image/output_file.h"
#include "image/rgbe.h"
#include "image/source_bytes.h"

namespace lumenpull {

namespace {

struct RadianceGeometry {
    uint32_t width;
    uint32_t height;
    uint64_t rowBytes;    // stored bytes and flat RGBE bytes of one row alike
    uint64_t imageBytes;  // stored bytes and flat RGBE bytes of one image alike
};

void writeRadianceHeader(OutputFile& file, const RadianceGeometry& g) {
    constexpr std::string_view fixed = "#?RADIANCE\nGAMMA=1\nEXPOSURE=1\nFORMAT=32-bit_rle_rgbe\n\n";
    char resolution[64];
    const int length = std::snprintf(resolution, sizeof resolution, "-Y %d +X %d\n", static_cast<int>(g.height),
                                     static_cast<int>(g.width));
    file.write({reinterpret_cast<const uint8_t*>(fixed.data()), fixed.size()});
    file.write({reinterpret_cast<const uint8_t*>(resolution), static_cast<std::size_t>(length)});
}

// The per-row work shared by every image of a texture: the decoder with its
// exponent scales, and the row of linear values between decoding and RGBE.
struct RowEncoder {
    HdrRowDecoder decoder;
    std::vector<LinearRgb> linear;

    // Decodes one stored row and encodes it as RGBE pixels into the scanline.
    void encode(std::span<const uint8_t> source, std::span<uint8_t> scanline, uint32_t width) {
        decoder.decodeRow(source, linear, width);
        encodeRgbeRow(std::span<const LinearRgb>(linear).first(width), scanline);
    }
};

// Flat RGBE bytes of one image held in memory so that deciding between the
// run-length and the flat form needs one decoding pass; larger images are
// decoded again for the flat form.
constexpr uint64_t HeldImageBytes = uint64_t{32} << 20;

// Buffers reused by every image of a texture.
struct RadianceBuffers {
    std::vector<uint8_t> scanline;  // one row of flat RGBE pixels
    std::vector<uint8_t> packets;   // run-length scanlines
    std::unique_ptr<uint8_t[]> flat;  // a whole image of flat RGBE pixels, made when first needed
};

// Writes one image, decoding its rows as they are written, in the run-length
// form or flat; returns the pixel byte count (the text header and the 4-byte
// scanline headers excluded).
uint64_t streamRadianceImage(const std::string& path, const TextureImage& texture, const RadianceGeometry& g,
                             uint32_t image, RowEncoder& rows, bool compressed, RadianceBuffers& buffers) {
    OutputFile file(path);
    writeRadianceHeader(file, g);
    uint64_t written = 0;
    for (uint32_t r = 0; r < g.height; ++r) {
        const auto source = clampedSource(texture.pixelData, rowOffset(image, g.imageBytes, r, g.rowBytes));
        rows.encode(source, buffers.scanline, g.width);
        if (compressed) {
            buffers.packets.clear();
            written += encodeRgbeScanline(buffers.scanline, buffers.packets);
            file.write(buffers.packets);
        } else {
            file.write(buffers.scanline);
            written += buffers.scanline.size();
        }
    }
    return written;
}

// Decodes the image once into flat pixels and packs its scanlines while
// their payload stays within the flat size (it only grows, so once beyond it
// the image is flat for certain), then writes whichever form wins: the same
// file as writing the run-length form and rewriting it flat when too large.
void writeHeldRadianceImage(const std::string& path, const TextureImage& texture, const RadianceGeometry& g,
                            uint32_t image, RowEncoder& rows, RadianceBuffers& buffers) {
    OutputFile file(path);
    if (!buffers.flat) buffers.flat = std::make_unique_for_overwrite<uint8_t[]>(static_cast<std::size_t>(g.imageBytes));
    // The rows written, which may be fewer than the image has (see writeRadiance).
    const uint64_t flatBytes = g.rowBytes * g.height;
    const std::span<uint8_t> flat(buffers.flat.get(), static_cast<std::size_t>(flatBytes));
    buffers.packets.clear();
    uint64_t written = 0;
    bool packing = true;
    for (uint32_t r = 0; r < g.height; ++r) {
        const auto source = clampedSource(texture.pixelData, rowOffset(image, g.imageBytes, r, g.rowBytes));
        const auto scanline = flat.subspan(r * g.rowBytes, g.rowBytes);
        rows.encode(source, scanline, g.width);
        if (packing) {
            written += encodeRgbeScanline(scanline, buffers.packets);
            packing = written <= flatBytes;
        }
    }
    writeRadianceHeader(file, g);
    if (packing) {
        file.write(buffers.packets);
    } else {
        file.write(flat);
    }
}

}  // namespace

int32_t writeRadiance(const std::string& imageName, const TextureImage& texture, bool sharedExponent,
                      bool noCompression) {
    if (texture.imageCount <= 0) return 0;
    RadianceGeometry g{};
    g.width = static_cast<uint16_t>(texture.width);
    g.height = static_cast<uint16_t>(texture.height);
    g.rowBytes = uint64_t{g.width} * 4;
    g.imageBytes = g.rowBytes * g.height;

    const bool runLengthWidth = g.width >= MinRunLengthWidth && g.width <= MaxRunLengthWidth;
    RadianceBuffers buffers;
    buffers.scanline.resize(g.rowBytes);
    if (!noCompression && runLengthWidth && g.imageBytes <= HeldImageBytes) {
        // Room for a whole image's scanlines up to the flat size, plus their
        // headers and the worst case of the last row; reserved, not touched.
        buffers.packets.reserve(static_cast<std::size_t>(g.imageBytes + 4 * uint64_t{g.height} + 2 * g.rowBytes));
    }
    RowEncoder rows{HdrRowDecoder(sharedExponent), std::vector<LinearRgb>(g.width)};

    int32_t files = 0;
    for (int32_t i = 0; i < texture.imageCount; ++i) {
        const auto image = static_cast<uint32_t>(i);
        const std::size_t length = texture.pixelData.size();
        if (!imageHasData(image, g.imageBytes, length)) break;
        // Only the rows that begin inside the pixel data are written.
        RadianceGeometry w = g;
        w.height = static_cast<uint32_t>(rowsWithData(rowOffset(image, g.imageBytes, 0, 0), g.rowBytes, g.height, length));
        const std::string path = imageFileName(imageName, i, texture.imageCount, "hdr");
        ++files;
        // Each image starts again with compression on.
        const bool compressed = !noCompression && runLengthWidth;
        if (compressed && g.imageBytes <= HeldImageBytes) {
            writeHeldRadianceImage(path, texture, w, image, rows, buffers);
            continue;
        }
        const uint64_t written = streamRadianceImage(path, texture, w, image, rows, compressed, buffers);
        if (compressed && written > w.rowBytes * w.height) {
            streamRadianceImage(path, texture, w, image, rows, false, buffers);
        }
    }
    return files;
}

}  // namespace lumenpull
