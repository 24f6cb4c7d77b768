#include "image/exr_writer.h"

#include <ImfChannelList.h>
#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <ImfIO.h>
#include <ImfOutputFile.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "image/hdr_row.h"
#include "image/image_file_name.h"
#include "image/output_file.h"
#include "image/source_bytes.h"

namespace lumenpull {

namespace {

// Rows handed to the library at a time: one ZIP chunk.
constexpr uint32_t RowsPerChunk = 16;

// The file as the library writes it. Its table of chunk offsets comes
// before the chunks but is only known after them, so the library goes back
// to write it at the end; the file is assembled here and then written
// through an OutputFile in one piece.
class ExrBytes : public Imf::OStream {
public:
    ExrBytes() : Imf::OStream("exr") {}

    void write(const char c[], int n) override {
        const auto count = static_cast<std::size_t>(n);
        if (position_ + count > bytes_.size()) bytes_.resize(position_ + count);
        std::memcpy(bytes_.data() + position_, c, count);
        position_ += count;
    }
    uint64_t tellp() override { return position_; }
    void seekp(uint64_t position) override { position_ = static_cast<std::size_t>(position); }

    std::span<const uint8_t> bytes() const { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
    std::size_t position_ = 0;
};

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
    if (g.width == 0 || g.height == 0) throw std::string("An image of no pixels has no EXR output");
    g.rowBytes = uint64_t{g.width} * 4;
    g.imageBytes = g.rowBytes * g.height;
    return g;
}

void writeExrImage(ImageOutput& output, const std::string& path, const TextureImage& texture, const ExrGeometry& g,
                   uint32_t image, const HdrRowDecoder& decoder) {
    OutputFile file(output, path);  // created first: a file that cannot be is reported before any work
    ExrBytes bytes;
    {
        Imf::Header header(static_cast<int>(g.width), static_cast<int>(g.height));
        header.compression() = Imf::ZIP_COMPRESSION;
        header.lineOrder() = Imf::INCREASING_Y;
        for (const char* name : {"R", "G", "B"}) header.channels().insert(name, Imf::Channel(Imf::FLOAT));
        Imf::OutputFile out(bytes, header);

        std::vector<LinearRgb> linear(g.width);
        std::vector<float> rows(std::size_t{g.width} * 3 * RowsPerChunk);
        const std::size_t xStride = 3 * sizeof(float);
        const std::size_t yStride = xStride * g.width;
        for (uint32_t first = 0; first < g.height; first += RowsPerChunk) {
            const uint32_t count = std::min(RowsPerChunk, g.height - first);
            for (uint32_t r = 0; r < count; ++r) {
                const auto source =
                    clampedSource(texture.pixelData, rowOffset(image, g.imageBytes, first + r, g.rowBytes));
                decoder.decodeRow(source, linear, g.width);
                float* row = &rows[std::size_t{r} * g.width * 3];
                for (uint32_t x = 0; x < g.width; ++x) {
                    row[3 * x] = static_cast<float>(linear[x].red);
                    row[3 * x + 1] = static_cast<float>(linear[x].green);
                    row[3 * x + 2] = static_cast<float>(linear[x].blue);
                }
            }
            // The slices name the buffer's first pixel as pixel (0, first).
            Imf::FrameBuffer frame;
            const Imath::V2i origin(0, static_cast<int>(first));
            const char* base = reinterpret_cast<const char*>(rows.data());
            const char* const names[3] = {"R", "G", "B"};
            for (std::size_t c = 0; c < 3; ++c) {
                frame.insert(names[c], Imf::Slice::Make(Imf::FLOAT, base + c * sizeof(float), origin, g.width, count,
                                                        xStride, yStride));
            }
            out.setFrameBuffer(frame);
            out.writePixels(static_cast<int>(count));
        }
    }
    file.write(bytes.bytes());
    file.finish();
}

}  // namespace

int32_t writeExr(const std::string& imageName, const TextureImage& texture, bool sharedExponent) {
    ImageOutput output;
    return writeExr(imageName, texture, sharedExponent, output);
}

int32_t writeExr(const std::string& imageName, const TextureImage& texture, bool sharedExponent,
                 ImageOutput& output) {
    if (texture.imageCount <= 0) return 0;
    const ExrGeometry g = exrGeometry(texture);
    const HdrRowDecoder decoder(sharedExponent);

    const std::size_t length = texture.pixelData.size();
    const int32_t files = imagesWithData(texture.imageCount, g.imageBytes, length);
    for (int32_t i = 0; i < files; ++i) {
        const auto image = static_cast<uint32_t>(i);
        ExrGeometry w = g;
        w.height = static_cast<uint32_t>(rowsWithData(rowOffset(image, g.imageBytes, 0, 0), g.rowBytes, g.height, length));
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
