#include "writers/tga_writer.h"

#include <algorithm>
#include <array>
#include <vector>

#include "decode/eight_bit_rows.h"
#include "writers/image_file_name.h"
#include "output/output_file.h"
#include "writers/packed_or_plain.h"
#include "pixels/pixel_format.h"
#include "writers/tga_rle.h"

namespace lumenpull {

namespace {

std::array<uint8_t, 18> tgaHeader(const RowGeometry& g, uint32_t depth, bool compressed) {
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

// Writes one image, packed unless compression is off or the packets would
// come out larger than the plain pixel data (see writePackedOrPlain).
void writeTgaImage(const std::string& path, const TextureImage& texture, const RowLayout& layout, const RowGeometry& g,
                   uint32_t image, bool compression, std::vector<uint8_t>& row, std::size_t packetRoom,
                   ImageOutput& output) {
    const auto writePacked = [&](OutputFile& file) {
        file.write(tgaHeader(g, layout.depth, true));
        PackingBudget budget(g.expectedBytes);
        bool packed = true;
        forEachRow(texture, layout, g, image, row, [&](std::span<const uint8_t> pixels) {
            // Packed straight into the file's buffer; kept while they still pay.
            // A band holds four pixel rows (the leftover zeros up to three):
            // packets end with each of them.
            const std::size_t written = encodeTgaRleInto(pixels, g.outputBytesPerPixel, g.width, file.room(packetRoom));
            packed = budget.add(written);
            if (packed) file.accept(written);
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
    const RowLayout layout = rowLayout(texture, sourceBitsPerPixel);
    const RowGeometry g = rowGeometry(texture, layout, sourceBitsPerPixel);

    std::vector<uint8_t> row(static_cast<size_t>(g.outputRowBytes));  // at most 4 rows of 65535 x 4 bytes
    // Room for one row's packets at worst, in the output file's buffer.
    const std::size_t packetRoom =
        tgaRleBound(static_cast<std::size_t>(g.outputRowBytes / g.outputBytesPerPixel), g.outputBytesPerPixel);

    const int32_t files = imagesWithData(texture.imageCount, g.imageBytes, texture.pixelData.size());
    for (int32_t i = 0; i < files; ++i) {
        const auto image = static_cast<uint32_t>(i);
        const RowGeometry w = writtenGeometry(g, layout.bands, image, texture.pixelData.size());
        const std::string path = imageFileName(imageName, i, texture.imageCount, "tga");
        // Each image starts again with packing on.
        writeTgaImage(path, texture, layout, w, image, !noCompression, row, packetRoom, output);
    }
    return files;
}

void listTgaFiles(const std::string& imageName, const TextureImage& texture, uint8_t sourceBitsPerPixel,
                  const ImageOutput& output, ImageFiles& files) {
    if (texture.imageCount <= 0) return;
    rowLayout(texture, sourceBitsPerPixel);
    const int32_t count = imagesWithData(texture, sourceBitsPerPixel);
    for (int32_t i = 0; i < count; ++i) output.list(imageFileName(imageName, i, texture.imageCount, "tga"), files);
}

}  // namespace lumenpull
