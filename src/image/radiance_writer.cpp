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

// Decodes one stored row and encodes it as RGBE pixels into the scanline.
void encodeRow(std::span<const uint8_t> source, std::span<uint8_t> scanline, uint32_t width, bool sharedExponent) {
    for (std::size_t x = 0; x < width; ++x) {
        const LinearRgb linear = 4 * x + 4 <= source.size()
                                     ? decodeHdrPixel(std::span<const uint8_t, 4>(source.data() + 4 * x, 4), sharedExponent)
                                     : decodeHdrPixel(loadPadded<4>(source, 4 * x), sharedExponent);
        const auto rgbe = encodeRgbe(linear.red, linear.green, linear.blue);
        std::copy(rgbe.begin(), rgbe.end(), scanline.begin() + static_cast<std::ptrdiff_t>(4 * x));
    }
}

// Writes one image and returns its pixel byte count (the text header and the
// 4-byte scanline headers excluded).
uint64_t writeRadianceImage(const std::string& path, const TextureImage& texture, const RadianceGeometry& g,
                            uint32_t image, bool sharedExponent, bool compressed, std::vector<uint8_t>& scanline,
                            std::vector<uint8_t>& packets) {
    OutputFile file(path);
    writeRadianceHeader(file, g);
    uint64_t written = 0;
    for (uint32_t r = 0; r < g.height; ++r) {
        const auto source = clampedSource(texture.pixelData, rowOffset(image, g.imageBytes, r, g.rowBytes));
        encodeRow(source, scanline, g.width, sharedExponent);
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

int32_t writeRadiance(const std::string& imageName, const TextureImage& texture, bool sharedExponent,
                      bool noCompression) {
    if (texture.imageCount <= 0) return 0;
    RadianceGeometry g{};
    g.width = static_cast<uint16_t>(texture.width);
    g.height = static_cast<uint16_t>(texture.height);
    g.rowBytes = uint64_t{g.width} * 4;
    g.imageBytes = g.rowBytes * g.height;

    const bool runLengthWidth = g.width >= MinRunLengthWidth && g.width <= MaxRunLengthWidth;
    std::vector<uint8_t> scanline(g.rowBytes);
    std::vector<uint8_t> packets;
    packets.reserve(g.rowBytes + g.rowBytes / 64 + 16);

    int32_t files = 0;
    for (int32_t i = 0; i < texture.imageCount; ++i) {
        const auto image = static_cast<uint32_t>(i);
        const std::size_t length = texture.pixelData.size();
        if (!imageHasData(image, g.imageBytes, length)) break;
        // Only the rows that begin inside the pixel data are written.
        RadianceGeometry w = g;
        w.height = static_cast<uint32_t>(rowsWithData(rowOffset(image, g.imageBytes, 0, 0), g.rowBytes, g.height, length));
        const std::string path = imageFileName(imageName, i, texture.imageCount, "hdr");
        const bool compressed = !noCompression && runLengthWidth;
        const uint64_t written =
            writeRadianceImage(path, texture, w, image, sharedExponent, compressed, scanline, packets);
        if (compressed && written > w.rowBytes * w.height) {
            writeRadianceImage(path, texture, w, image, sharedExponent, false, scanline, packets);
        }
        ++files;
    }
    return files;
}

}  // namespace lumenpull
