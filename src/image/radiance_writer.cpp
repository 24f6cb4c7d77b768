#include "image/radiance_writer.h"

#include <algorithm>
#include <cstdio>
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

// Writes one image and returns its pixel byte count (the text header and the
// 4-byte scanline headers excluded).
uint64_t writeRadianceImage(const std::string& path, const TextureImage& texture, const RadianceGeometry& g,
                            uint32_t image, RowEncoder& rows, bool compressed, std::vector<uint8_t>& scanline,
                            std::vector<uint8_t>& packets) {
    OutputFile file(path);
    writeRadianceHeader(file, g);
    uint64_t written = 0;
    for (uint32_t r = 0; r < g.height; ++r) {
        const auto source = clampedSource(texture.pixelData, rowOffset(image, g.imageBytes, r, g.rowBytes));
        rows.encode(source, scanline, g.width);
        if (compressed) {
            packets.clear();
            written += encodeRgbeScanline(scanline, packets);
            file.write(packets);
        } else {
            file.write(scanline);
            written += scanline.size();
        }
    }
    return written;
}

}  // namespace

void writeRadiance(const std::string& imageName, const TextureImage& texture, bool sharedExponent,
                   bool noCompression) {
    if (texture.imageCount <= 0) return;
    RadianceGeometry g{};
    g.width = static_cast<uint16_t>(texture.width);
    g.height = static_cast<uint16_t>(texture.height);
    g.rowBytes = uint64_t{g.width} * 4;
    g.imageBytes = g.rowBytes * g.height;

    const bool runLengthWidth = g.width >= MinRunLengthWidth && g.width <= MaxRunLengthWidth;
    std::vector<uint8_t> scanline(g.rowBytes);
    std::vector<uint8_t> packets;
    packets.reserve(g.rowBytes + g.rowBytes / 64 + 16);
    RowEncoder rows{HdrRowDecoder(sharedExponent), std::vector<LinearRgb>(g.width)};

    for (int32_t i = 0; i < texture.imageCount; ++i) {
        const std::string path = imageFileName(imageName, i, texture.imageCount, "hdr");
        const bool compressed = !noCompression && runLengthWidth;
        const uint64_t written =
            writeRadianceImage(path, texture, g, static_cast<uint32_t>(i), rows, compressed, scanline, packets);
        if (compressed && written > g.imageBytes) {
            writeRadianceImage(path, texture, g, static_cast<uint32_t>(i), rows, false, scanline, packets);
        }
    }
}

}  // namespace lumenpull
