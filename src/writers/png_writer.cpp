#include "writers/png_writer.h"

#include <libdeflate.h>

#include <array>
#include <cstdint>
#include <memory>
#include <new>
#include <string_view>
#include <vector>

#include "decode/eight_bit_rows.h"
#include "writers/image_file_name.h"
#include "output/output_file.h"
#include "pixels/pixel_format.h"
#include "lumenpull/error.h"

namespace lumenpull {
namespace {

// libdeflate's fastest level over rows filtered with Up: within twice the
// time of the TGA run and about half the size of the TGA files over the
// benchmark corpus (docs/performance.md, docs/decisions.md).
constexpr int kCompressionLevel = 1;
constexpr uint8_t kUpFilter = 2;
// IDAT chunks of at most this many bytes; readers take any size up to 2^31 - 1.
constexpr size_t kIdatBytes = size_t{1} << 20;

struct CompressorFree {
    void operator()(libdeflate_compressor* compressor) const { libdeflate_free_compressor(compressor); }
};
using Compressor = std::unique_ptr<libdeflate_compressor, CompressorFree>;

void putBigEndian(uint8_t* to, uint32_t value) {
    to[0] = static_cast<uint8_t>(value >> 24);
    to[1] = static_cast<uint8_t>(value >> 16);
    to[2] = static_cast<uint8_t>(value >> 8);
    to[3] = static_cast<uint8_t>(value);
}

// Length, type, data and the CRC of type and data.
void writeChunk(OutputFile& file, std::string_view type, std::span<const uint8_t> data) {
    std::array<uint8_t, 8> head{};
    putBigEndian(head.data(), static_cast<uint32_t>(data.size()));
    std::copy(type.begin(), type.end(), head.begin() + 4);
    uint32_t crc = libdeflate_crc32(0, head.data() + 4, 4);
    // (libdeflate_crc32 of a null buffer is the start value 0, not crc: skip it.)
    if (!data.empty()) crc = libdeflate_crc32(crc, data.data(), data.size());
    std::array<uint8_t, 4> tail{};
    putBigEndian(tail.data(), crc);
    file.write(head);
    file.write(data);
    file.write(tail);
}

uint8_t colourType(uint32_t depth) {
    if (depth == 8) return 0;    // greyscale
    return depth == 24 ? 2 : 6;  // RGB, RGBA
}

// The bytes of a picture's filtered rows, all held at once. Throws for a
// picture PNG cannot hold (no rows or no columns) and, where size_t is 32
// bits, for one whose bytes do not fit it, rather than wrapping.
uint64_t filteredPictureBytes(const RowGeometry& g) {
    if (g.width == 0 || g.height == 0) throw Error("A picture without rows or columns has no PNG output");
    const uint64_t bytes = uint64_t{g.height} * (uint64_t{g.width} * g.outputBytesPerPixel + 1);
    if (bytes > SIZE_MAX / 2) throw Error("Picture too large for PNG output");
    return bytes;
}

// One image: its rows filtered into one buffer, compressed in one call, the
// compressed stream written as IDAT chunks.
class PngImage {
public:
    PngImage(const RowGeometry& g, uint32_t depth)
        : g_(g), depth_(depth), rowBytes_(size_t{g.width} * g.outputBytesPerPixel) {
        filtered_.reserve(static_cast<size_t>(filteredPictureBytes(g)));
        previous_.assign(rowBytes_, 0);
    }

    // Blue, green, red (alpha) as the rows come; red first in a PNG, each
    // byte stored as its difference to the byte above it.
    void addRow(std::span<const uint8_t> row) {
        filtered_.push_back(kUpFilter);
        const size_t start = filtered_.size();
        filtered_.resize(start + rowBytes_);
        uint8_t* out = filtered_.data() + start;
        const uint8_t* above = previous_.data();
        const uint32_t n = g_.outputBytesPerPixel;
        if (n == 1) {
            for (size_t i = 0; i < rowBytes_; ++i) out[i] = static_cast<uint8_t>(row[i] - above[i]);
            std::copy(row.begin(), row.begin() + static_cast<std::ptrdiff_t>(rowBytes_), previous_.begin());
        } else {
            uint8_t* keep = previous_.data();
            for (size_t i = 0; i < rowBytes_; i += n) {
                const uint8_t red = row[i + 2], green = row[i + 1], blue = row[i];
                out[i] = static_cast<uint8_t>(red - above[i]);
                out[i + 1] = static_cast<uint8_t>(green - above[i + 1]);
                out[i + 2] = static_cast<uint8_t>(blue - above[i + 2]);
                keep[i] = red;
                keep[i + 1] = green;
                keep[i + 2] = blue;
                if (n == 4) {
                    out[i + 3] = static_cast<uint8_t>(row[i + 3] - above[i + 3]);
                    keep[i + 3] = row[i + 3];
                }
            }
        }
        ++rows_;
    }

    uint64_t rows() const { return rows_; }

    void write(const std::string& path, libdeflate_compressor* compressor, ImageOutput& output) {
        // The header promised g.height rows: a file with fewer would be cut short.
        if (rows_ != g_.height) throw Error("PNG writer: rows missing");
        std::vector<uint8_t> compressed(libdeflate_zlib_compress_bound(compressor, filtered_.size()));
        const size_t size = libdeflate_zlib_compress(compressor, filtered_.data(), filtered_.size(), compressed.data(),
                                                     compressed.size());
        if (size == 0) throw Error("PNG writer: compression failed");
        std::vector<uint8_t>().swap(filtered_);

        OutputFile file(output, path);
        static constexpr std::array<uint8_t, 8> kSignature{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
        file.write(kSignature);
        std::array<uint8_t, 13> header{};
        putBigEndian(header.data(), g_.width);
        putBigEndian(header.data() + 4, g_.height);
        header[8] = 8;  // bits per sample
        header[9] = colourType(depth_);
        writeChunk(file, "IHDR", header);
        const std::span<const uint8_t> stream(compressed.data(), size);
        for (size_t at = 0; at < size; at += kIdatBytes) {
            writeChunk(file, "IDAT", stream.subspan(at, std::min(kIdatBytes, size - at)));
        }
        writeChunk(file, "IEND", {});
        file.finish();
    }

private:
    RowGeometry g_;
    uint32_t depth_;
    size_t rowBytes_;
    std::vector<uint8_t> filtered_;
    std::vector<uint8_t> previous_;
    uint64_t rows_ = 0;
};

}  // namespace

int32_t writePng(const std::string& imageName, const TextureImage& texture, uint8_t sourceBitsPerPixel) {
    ImageOutput output;
    return writePng(imageName, texture, sourceBitsPerPixel, output);
}

int32_t writePng(const std::string& imageName, const TextureImage& texture, uint8_t sourceBitsPerPixel,
                 ImageOutput& output) {
    if (texture.imageCount <= 0) return 0;
    const RowLayout layout = rowLayout(texture, sourceBitsPerPixel);
    const RowGeometry g = rowGeometry(texture, layout, sourceBitsPerPixel);
    std::vector<uint8_t> row(static_cast<size_t>(g.outputRowBytes));  // at most 4 rows of 65535 x 4 bytes
    const Compressor compressor(libdeflate_alloc_compressor(kCompressionLevel));
    if (!compressor) throw std::bad_alloc();

    const int32_t files = imagesWithData(texture.imageCount, g.imageBytes, texture.pixelData.size());
    for (int32_t i = 0; i < files; ++i) {
        const auto image = static_cast<uint32_t>(i);
        const RowGeometry w = writtenGeometry(g, layout.bands, image, texture.pixelData.size());
        PngImage png(w, layout.depth);
        const size_t rowBytes = size_t{w.width} * w.outputBytesPerPixel;
        // A block format's band holds four pixel rows; the last band of a
        // picture whose height is no multiple of 4 comes shorter.
        forEachRow(texture, layout, w, image, row, [&](std::span<const uint8_t> rows) {
            for (size_t at = 0; at + rowBytes <= rows.size() && png.rows() < w.height; at += rowBytes) {
                png.addRow(rows.subspan(at, rowBytes));
            }
            return true;
        });
        png.write(imageFileName(imageName, i, texture.imageCount, "png"), compressor.get(), output);
    }
    return files;
}

void listPngFiles(const std::string& imageName, const TextureImage& texture, uint8_t sourceBitsPerPixel,
                  const ImageOutput& output, ImageFiles& files) {
    if (texture.imageCount <= 0) return;
    const RowLayout layout = rowLayout(texture, sourceBitsPerPixel);
    const RowGeometry g = rowGeometry(texture, layout, sourceBitsPerPixel);
    const int32_t count = imagesWithData(texture.imageCount, g.imageBytes, texture.pixelData.size());
    for (int32_t i = 0; i < count; ++i) {
        filteredPictureBytes(writtenGeometry(g, layout.bands, static_cast<uint32_t>(i), texture.pixelData.size()));
        output.list(imageFileName(imageName, i, texture.imageCount, "png"), files);
    }
}

}  // namespace lumenpull
