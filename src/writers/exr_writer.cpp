#include "writers/exr_writer.h"

#include <span>
#include <vector>

#include "writers/exr_encoding.h"
#include "decode/hdr_row.h"
#include "writers/image_file_name.h"
#include "output/output_file.h"
#include "pixels/source_bytes.h"
#include "lumenpull/error.h"

namespace lumenpull {

namespace {

struct ExrGeometry {
    uint32_t width;
    uint32_t height;
    uint64_t rowBytes;    // stored bytes of one row
    uint64_t imageBytes;  // stored bytes of one image
};

ExrGeometry exrGeometry(const TextureImage& texture) {
    ExrGeometry g{};
    g.width = static_cast<uint16_t>(texture.width);
    g.height = static_cast<uint16_t>(texture.height);
    if (g.width == 0 || g.height == 0) throw Error("An image of no pixels has no EXR output");
    g.rowBytes = uint64_t{g.width} * 4;
    g.imageBytes = g.rowBytes * g.height;
    return g;
}

void writeExrImage(ImageOutput& output, const std::string& path, const TextureImage& texture, const ExrGeometry& g,
                   uint32_t image, const HdrRowDecoder& decoder) {
    OutputFile file(output, path);  // created first: a file that cannot be is reported before any work
    std::vector<LinearRgb> linear(g.width);
    const std::vector<uint8_t> bytes = encodeExrRgb(path, g.width, g.height, [&](uint32_t y, std::span<float> rgb) {
        const auto source = clampedSource(texture.pixelData, rowOffset(image, g.imageBytes, y, g.rowBytes));
        decoder.decodeRow(source, linear, g.width);
        for (uint32_t x = 0; x < g.width; ++x) {
            rgb[3 * x] = static_cast<float>(linear[x].red);
            rgb[3 * x + 1] = static_cast<float>(linear[x].green);
            rgb[3 * x + 2] = static_cast<float>(linear[x].blue);
        }
    });
    file.write(bytes);
    file.finish();
}

}  // namespace

int32_t writeExr(const std::string& imageName, const TextureImage& texture, bool sharedExponent) {
    ImageOutput output;
    return writeExr(imageName, texture, sharedExponent, output);
}

int32_t writeExr(const std::string& imageName, const TextureImage& texture, bool sharedExponent, ImageOutput& output) {
    if (texture.imageCount <= 0) return 0;
    const ExrGeometry g = exrGeometry(texture);
    const HdrRowDecoder decoder(sharedExponent);

    const std::size_t length = texture.pixelData.size();
    const int32_t files = imagesWithData(texture.imageCount, g.imageBytes, length);
    for (int32_t i = 0; i < files; ++i) {
        const auto image = static_cast<uint32_t>(i);
        ExrGeometry w = g;
        w.height =
            static_cast<uint32_t>(rowsWithData(rowOffset(image, g.imageBytes, 0, 0), g.rowBytes, g.height, length));
        writeExrImage(output, imageFileName(imageName, i, texture.imageCount, "exr"), texture, w, image, decoder);
    }
    return files;
}

void listExrFiles(const std::string& imageName, const TextureImage& texture, const ImageOutput& output,
                  ImageFiles& files) {
    if (texture.imageCount <= 0) return;
    const ExrGeometry g = exrGeometry(texture);
    const int32_t count = imagesWithData(texture.imageCount, g.imageBytes, texture.pixelData.size());
    for (int32_t i = 0; i < count; ++i) output.list(imageFileName(imageName, i, texture.imageCount, "exr"), files);
}

}  // namespace lumenpull
