#include "writers/radiance_writer.h"

#include <algorithm>
#include <cstdio>
#include <string_view>
#include <vector>

#include "writers/hdr_rgbe_row.h"
#include "writers/image_file_name.h"
#include "output/output_file.h"
#include "writers/packed_or_plain.h"
#include "writers/rgbe.h"
#include "pixels/source_bytes.h"

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

// Buffers reused by every image of a texture.
struct RadianceBuffers {
    std::vector<uint8_t> scanline;  // one row of flat RGBE pixels
};

// Writes one image, decoding its rows as they are written: run-length
// scanlines unless compression is off or their payload comes out larger
// than the flat pixels, then flat (see writePackedOrPlain).
void writeRadianceImage(const std::string& path, const TextureImage& texture, const RadianceGeometry& g, uint32_t image,
                        const HdrRgbeRowEncoder& rows, bool compressed, RadianceBuffers& buffers, ImageOutput& output) {
    const auto writePacked = [&](OutputFile& file) {
        writeRadianceHeader(file, g);
        PackingBudget budget(g.rowBytes * g.height);
        for (uint32_t r = 0; r < g.height; ++r) {
            const auto source = clampedSource(texture.pixelData, rowOffset(image, g.imageBytes, r, g.rowBytes));
            rows.encodeRow(source, buffers.scanline, g.width);
            // Packed straight into the file's buffer; kept while they still pay.
            const std::size_t scanline =
                encodeRgbeScanlineInto(buffers.scanline, file.room(rgbeScanlineBound(g.width)));
            if (!budget.add(scanline - 4)) return false;  // the payload: scanline headers are not counted
            file.accept(scanline);
        }
        return true;
    };
    // Readers look for a scanline header at the start of every row of these widths.
    const bool headerWidth = g.width >= MinRunLengthWidth && g.width <= MaxRunLengthWidth;
    const auto writeFlat = [&](OutputFile& file) {
        writeRadianceHeader(file, g);
        for (uint32_t r = 0; r < g.height; ++r) {
            const auto source = clampedSource(texture.pixelData, rowOffset(image, g.imageBytes, r, g.rowBytes));
            rows.encodeRow(source, buffers.scanline, g.width);
            if (headerWidth) unlikeScanlineHeader(std::span<uint8_t>(buffers.scanline).first<4>());
            file.write(buffers.scanline);
        }
    };
    writePackedOrPlain(output, path, compressed, writePacked, writeFlat);
}

}  // namespace

int32_t writeRadiance(const std::string& imageName, const TextureImage& texture, bool sharedExponent,
                      bool noCompression) {
    ImageOutput output;
    return writeRadiance(imageName, texture, sharedExponent, noCompression, output);
}

int32_t writeRadiance(const std::string& imageName, const TextureImage& texture, bool sharedExponent,
                      bool noCompression, ImageOutput& output) {
    if (texture.imageCount <= 0) return 0;
    RadianceGeometry g{};
    g.width = static_cast<uint16_t>(texture.width);
    g.height = static_cast<uint16_t>(texture.height);
    g.rowBytes = uint64_t{g.width} * 4;
    g.imageBytes = storedImageBytes(texture.width, texture.height, 32);

    const bool runLengthWidth = g.width >= MinRunLengthWidth && g.width <= MaxRunLengthWidth;
    RadianceBuffers buffers;
    buffers.scanline.resize(static_cast<size_t>(g.rowBytes));  // at most 65535 x 4
    const HdrRgbeRowEncoder rows(sharedExponent);

    const std::size_t length = texture.pixelData.size();
    const int32_t files = imagesWithData(texture.imageCount, g.imageBytes, length);
    for (int32_t i = 0; i < files; ++i) {
        const auto image = static_cast<uint32_t>(i);
        // Only the rows that begin inside the pixel data are written.
        RadianceGeometry w = g;
        w.height =
            static_cast<uint32_t>(rowsWithData(rowOffset(image, g.imageBytes, 0, 0), g.rowBytes, g.height, length));
        const std::string path = imageFileName(imageName, i, texture.imageCount, "hdr");
        // Each image starts again with compression on.
        writeRadianceImage(path, texture, w, image, rows, !noCompression && runLengthWidth, buffers, output);
    }
    return files;
}

void listRadianceFiles(const std::string& imageName, const TextureImage& texture, const ImageOutput& output,
                       ImageFiles& files) {
    if (texture.imageCount <= 0) return;
    const int32_t count = imagesWithData(texture, 32);
    for (int32_t i = 0; i < count; ++i) output.list(imageFileName(imageName, i, texture.imageCount, "hdr"), files);
}

}  // namespace lumenpull
