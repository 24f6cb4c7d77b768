#include "lumenpull/texture.h"

#include <algorithm>
#include <cstring>

#include "api/resource_data.h"
#include "api/stored_levels.h"
#include "writers/dds_writer.h"
#include "decode/eight_bit_rows.h"
#include "writers/exr_writer.h"
#include "decode/hdr_row.h"
#include "pixels/mip_levels.h"
#include "output/output_file.h"
#include "pixels/pixel_format.h"
#include "output/platform_output.h"
#include "writers/png_writer.h"
#include "writers/radiance_writer.h"
#include "pixels/source_bytes.h"
#include "pixels/texture_flags.h"
#include "pixels/texture_image.h"
#include "writers/tga_writer.h"
#include "lumenpull/error.h"
#include "unpack/mip_chain.h"
#include "unpack/buffer_pool.h"
#include "unpack/pixel_unpacking.h"

namespace lumenpull {
namespace {

bool highDynamicRange(const detail::TextureData& data) { return data.canonicalFormat == PixelFormat::Hdr32; }

// A texture that has no images to decode or write throws what the tool
// reports for it.
void requireImages(const detail::TextureData& data) {
    if (data.info.rejected) throw Error("Invalid texture format " + std::to_string(data.info.storedCode));
    if (data.info.withoutPixels) throw Error("Texture without pixel data");
}

[[noreturn]] void throwNoImage(int32_t index) { throw Error("Texture has no image " + std::to_string(index)); }

[[noreturn]] void throwSmallBuffer() { throw Error("Pixel buffer smaller than the texture's picture"); }

// The texture as the writers see it, over its unpacked images.
TextureImage textureImage(const detail::TextureData& data, std::span<const uint8_t> images, int32_t imageCount) {
    return TextureImage{data.unpack.width,    data.unpack.height, data.unpack.textureFlags,
                        data.canonicalFormat, imageCount,         images};
}

// The largest images of every face or frame, as every type but DDS writes them.
UnpackedPixels largestImages(const detail::TextureData& data) {
    BufferPool buffers;  // the images own their buffers once handed out
    return unpackedPixels(std::span<const uint8_t>(data.stored), data.unpack, buffers);
}

// 8-bit rows come as the writers store them: blue, green, red (alpha).
// Decoded images are red, green, blue (alpha), as in a PNG file. Written so
// that the compiler can vectorise it: a row is megabytes in large textures.
void copyRow(std::span<const uint8_t> row, uint8_t* __restrict out, uint32_t channels) {
    const uint8_t* __restrict in = row.data();
    const std::size_t size = row.size();
    if (channels == 1) {
        std::memcpy(out, in, size);
    } else if (channels == 4) {
        for (std::size_t at = 0; at + 4 <= size; at += 4) {
            uint32_t pixel;
            std::memcpy(&pixel, in + at, 4);
            // Little-endian words: blue in the low byte and red in the third swap places.
            pixel = (pixel & 0xFF00FF00u) | ((pixel >> 16) & 0xFFu) | ((pixel & 0xFFu) << 16);
            std::memcpy(out + at, &pixel, 4);
        }
    } else {
        for (std::size_t at = 0; at + 3 <= size; at += 3) {
            out[at] = in[at + 2];
            out[at + 1] = in[at + 1];
            out[at + 2] = in[at];
        }
    }
}

PixelLayout eightBitLayout(uint32_t depth) {
    if (depth == 8) return PixelLayout::Grey8;
    return depth == 24 ? PixelLayout::Rgb8 : PixelLayout::Rgba8;
}

// Where decoded rows go: a caller's buffer, which must have room for the
// whole texture's picture, or a vector grown a row at a time (so that no
// pass clears the picture before the rows overwrite it).
template <typename Value>
class RowTarget {
public:
    explicit RowTarget(std::span<Value> buffer) : buffer_(buffer) {}
    explicit RowTarget(std::vector<Value>& grown) : grown_(&grown) {}

    // A caller's buffer must hold the whole picture (`whole` values); a
    // vector takes only the rows the data holds (`used`), which for a huge
    // texture with little data is far less.
    void require(uint64_t whole, uint64_t used) const {
        if (grown_ != nullptr) {
            grown_->reserve(static_cast<std::size_t>(used));
        } else if (buffer_.size() < whole) {
            throwSmallBuffer();
        }
    }

    // Room for row `row` of `values` values; rows come in order.
    Value* row(uint32_t row, std::size_t values) {
        const std::size_t start = std::size_t{row} * values;
        if (grown_ == nullptr) return buffer_.data() + start;
        grown_->resize(start + values);
        return grown_->data() + start;
    }

private:
    std::span<Value> buffer_;
    std::vector<Value>* grown_ = nullptr;
};

// Decodes image `index` of an 8-bit texture, rows as the TGA and PNG
// writers take them, into `out` (room for the whole texture).
ImageShape decodeEightBit(const detail::TextureData& data, std::span<const uint8_t> images, int32_t index,
                          RowTarget<uint8_t> out) {
    const TextureImage texture = textureImage(data, images, data.info.imageCount);
    const uint8_t bits = data.unpack.bitsPerPixel;
    const RowLayout layout = rowLayout(texture.pixelFormat, (texture.textureFlags & TwoChannel) != 0, bits);
    const RowGeometry g = rowGeometry(texture, layout, bits);
    const std::size_t length = texture.pixelData.size();
    if (index < 0 || index >= imagesWithData(texture.imageCount, g.imageBytes, length)) throwNoImage(index);
    const auto image = static_cast<uint32_t>(index);
    const RowGeometry w = writtenGeometry(g, layout.bands, image, length);
    const ImageShape shape{w.width, w.height, eightBitLayout(layout.depth)};
    // A caller's buffer has room for the whole texture's picture, whatever
    // this image's rows.
    out.require(uint64_t{g.width} * g.height * g.outputBytesPerPixel, shape.values());

    std::vector<uint8_t> row(static_cast<std::size_t>(g.outputRowBytes));
    const std::size_t rowBytes = std::size_t{w.width} * w.outputBytesPerPixel;
    uint32_t rows = 0;
    // A band of a block format holds four rows; the last band of a picture
    // whose height is no multiple of four comes shorter.
    forEachRow(texture, layout, w, image, row, [&](std::span<const uint8_t> band) {
        for (std::size_t at = 0; at + rowBytes <= band.size() && rows < w.height; at += rowBytes, ++rows) {
            copyRow(band.subspan(at, rowBytes), out.row(rows, rowBytes), w.outputBytesPerPixel);
        }
        return true;
    });
    return shape;
}

// Decodes image `index` of a high-dynamic-range texture into linear red,
// green, blue floats: the values the OpenEXR and DDS writers store.
ImageShape decodeHighDynamicRange(const detail::TextureData& data, std::span<const uint8_t> pixels, int32_t index,
                                  RowTarget<float> out) {
    const uint32_t width = static_cast<uint16_t>(data.unpack.width);
    const uint32_t height = static_cast<uint16_t>(data.unpack.height);
    const uint64_t rowBytes = uint64_t{width} * 4;
    const uint64_t imageBytes = storedImageBytes(data.unpack.width, data.unpack.height, 32);
    if (index < 0 || index >= imagesWithData(data.info.imageCount, imageBytes, pixels.size())) throwNoImage(index);
    const auto image = static_cast<uint32_t>(index);
    const auto rows =
        static_cast<uint32_t>(rowsWithData(rowOffset(image, imageBytes, 0, 0), rowBytes, height, pixels.size()));
    const ImageShape shape{width, rows, PixelLayout::RgbFloat};
    out.require(uint64_t{width} * height * 3, shape.values());

    const HdrRowDecoder decoder(data.sharedExponent);
    std::vector<LinearRgb> linear(width);
    for (uint32_t r = 0; r < rows; ++r) {
        decoder.decodeRow(clampedSource(pixels, rowOffset(image, imageBytes, r, rowBytes)), linear, width);
        float* to = out.row(r, std::size_t{width} * 3);
        for (uint32_t x = 0; x < width; ++x) {
            to[3 * x] = static_cast<float>(linear[x].red);
            to[3 * x + 1] = static_cast<float>(linear[x].green);
            to[3 * x + 2] = static_cast<float>(linear[x].blue);
        }
    }
    return shape;
}

// Writes `texture` through the writer of `type`, as the conversion does.
void writeAs(FileType type, const detail::TextureData& data, const std::string& imageName, const TextureImage& texture,
             uint32_t mipLevels, const WriteOptions& options, ImageOutput& output) {
    const uint8_t bits = data.unpack.bitsPerPixel;
    switch (type) {
        case FileType::Tga: writeTga(imageName, texture, bits, options.uncompressed, output); break;
        case FileType::Png: writePng(imageName, texture, bits, output); break;
        case FileType::Hdr: writeRadiance(imageName, texture, data.sharedExponent, options.uncompressed, output); break;
        case FileType::Dds: writeDds(imageName, texture, bits, data.sharedExponent, mipLevels, output); break;
        case FileType::Exr: writeExr(imageName, texture, data.sharedExponent, output); break;
    }
}

// The stored bytes of one face or frame in a DDS file with its mip chain:
// the chain is carried only when every face or frame holds all of it.
struct DdsStride {
    uint32_t levels;
    uint64_t faceBytes;
};
DdsStride ddsStride(const detail::TextureData& data, uint32_t chainLevels, std::size_t length) {
    const uint32_t width = static_cast<uint16_t>(data.unpack.width);
    const uint32_t height = static_cast<uint16_t>(data.unpack.height);
    const uint8_t bits = data.unpack.bitsPerPixel;
    DdsStride stride{std::clamp(chainLevels, 1u, std::max(fullChainLevels(width, height), 1u)), 0};
    for (uint32_t level = 0; level < stride.levels; ++level)
        stride.faceBytes += storedLevelBytes(width, height, bits, level);
    const auto count = static_cast<uint64_t>(std::max(data.info.imageCount, 1));
    if (stride.levels > 1 && length / count < stride.faceBytes) {
        stride = {1, storedLevelBytes(width, height, bits, 0)};
    }
    return stride;
}

// One file of image `index` alone, made in memory by the writer of `type`.
std::vector<uint8_t> encodedImage(const detail::TextureData& data, int32_t index, FileType type,
                                  const WriteOptions& options) {
    requireImages(data);
    ImageOutput output({}, ImageOutput::Placing::InMemory);
    if (type == FileType::Dds) {
        BufferPool buffers;
        const UnpackedLevels unpacked = unpackedWithMipChain(data.stored, data.unpack, buffers);
        const std::span<const uint8_t> pixels = unpacked.pixels.images();
        const DdsStride stride = ddsStride(data, unpacked.levels, pixels.size());
        const uint64_t start = rowOffset(static_cast<uint64_t>(index), std::max<uint64_t>(stride.faceBytes, 1), 0, 0);
        if (index < 0 || index >= data.info.imageCount || start >= pixels.size()) throwNoImage(index);
        const TextureImage one = textureImage(data, pixels.subspan(static_cast<std::size_t>(start)), 1);
        writeAs(type, data, "image", one, stride.levels, options, output);
    } else {
        const UnpackedPixels unpacked = largestImages(data);
        const std::span<const uint8_t> pixels = unpacked.images();
        const TextureImage all = textureImage(data, pixels, data.info.imageCount);
        // The images lie one after another: image `index` alone is the
        // texture of one image whose data begins where that image does.
        const uint8_t bits = highDynamicRange(data) ? uint8_t{32} : data.unpack.bitsPerPixel;
        const uint64_t imageBytes = storedImageBytes(all.width, all.height, bits);
        if (index < 0 || index >= imagesWithData(all.imageCount, imageBytes, pixels.size())) throwNoImage(index);
        const uint64_t start = rowOffset(static_cast<uint64_t>(index), imageBytes, 0, 0);
        const TextureImage one = textureImage(data, pixels.subspan(static_cast<std::size_t>(start)), 1);
        writeAs(type, data, "image", one, 1, options, output);
    }
    std::vector<MemoryFile>& files = output.memoryFiles();
    if (files.empty()) throwNoImage(index);
    return std::move(files.front().bytes);
}

}  // namespace

const TextureInfo& Texture::info() const { return data_->info; }

Packing Texture::packing() const {
    if (data_->info.rejected || data_->info.withoutPixels) return {};
    const UnpackFindings found = largestImages(*data_).findings();
    Packing packing;
    packing.zlib = found.inflated;
    packing.planes = found.planes;
    packing.shortData = found.shortData;
    if (found.mips == UnpackFindings::Mips::LargestFirst) packing.mips = Packing::Mips::LargestFirst;
    if (found.mips == UnpackFindings::Mips::LargestLast) packing.mips = Packing::Mips::LargestLast;
    return packing;
}

// The images with data among the unpacked images.
int32_t imagesIn(const detail::TextureData& data, std::span<const uint8_t> images) {
    const uint8_t bits = highDynamicRange(data) ? uint8_t{32} : data.unpack.bitsPerPixel;
    return imagesWithData(textureImage(data, images, data.info.imageCount), bits);
}

// Image `index` of the unpacked images, in a buffer of its own.
Image decodedImage(const detail::TextureData& data, const ImageShape& full, std::span<const uint8_t> images,
                   int32_t index) {
    Image image;
    if (full.layout == PixelLayout::RgbFloat) {
        image.shape = decodeHighDynamicRange(data, images, index, RowTarget<float>(image.floats));
        image.floats.resize(static_cast<std::size_t>(image.shape.values()));
    } else {
        image.shape = decodeEightBit(data, images, index, RowTarget<uint8_t>(image.bytes));
        image.bytes.resize(static_cast<std::size_t>(image.shape.values()));
    }
    return image;
}

int32_t Texture::availableImages() const {
    if (data_->info.rejected || data_->info.withoutPixels) return 0;
    return imagesIn(*data_, largestImages(*data_).images());
}

ImageShape Texture::fullShape() const {
    requireImages(*data_);
    const uint32_t width = static_cast<uint16_t>(data_->unpack.width);
    const uint32_t height = static_cast<uint16_t>(data_->unpack.height);
    if (highDynamicRange(*data_)) return {width, height, PixelLayout::RgbFloat};
    const RowLayout layout = rowLayout(data_->canonicalFormat, data_->info.twoChannel, data_->unpack.bitsPerPixel);
    return ImageShape{width, height, eightBitLayout(layout.depth)};
}

Image Texture::image(int32_t index) const {
    const ImageShape full = fullShape();
    return decodedImage(*data_, full, largestImages(*data_).images(), index);
}

std::vector<Image> Texture::images() const {
    const ImageShape full = fullShape();
    const UnpackedPixels unpacked = largestImages(*data_);
    std::vector<Image> all;
    const int32_t count = imagesIn(*data_, unpacked.images());
    for (int32_t i = 0; i < count; ++i) all.push_back(decodedImage(*data_, full, unpacked.images(), i));
    return all;
}

ImageShape Texture::decode(int32_t index, std::span<uint8_t> pixels) const {
    requireImages(*data_);
    if (highDynamicRange(*data_)) throw Error("High-dynamic-range images decode to floats");
    return decodeEightBit(*data_, largestImages(*data_).images(), index, RowTarget<uint8_t>(pixels));
}

ImageShape Texture::decode(int32_t index, std::span<float> pixels) const {
    requireImages(*data_);
    if (!highDynamicRange(*data_)) throw Error("8-bit images decode to bytes");
    return decodeHighDynamicRange(*data_, largestImages(*data_).images(), index, RowTarget<float>(pixels));
}

StoredLevels Texture::storedLevels(int32_t index) const {
    return splitDdsFile(encodedImage(*data_, index, FileType::Dds, {}));
}

std::vector<uint8_t> Texture::encode(int32_t index, FileType type, const WriteOptions& options) const {
    return encodedImage(*data_, index, type, options);
}

void Texture::write(int32_t index, FileType type, std::ostream& out, const WriteOptions& options) const {
    const std::vector<uint8_t> bytes = encode(index, type, options);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw Error("Error writing output stream");
}

void Texture::write(int32_t index, FileType type, const std::string& path, const WriteOptions& options) const {
    const std::vector<uint8_t> bytes = encode(index, type, options);
    // As the tool's images: complete under a temporary name, then renamed.
    TemporaryFile file(path);
    file.write(bytes);
    file.close();
    file.putInPlace();
}

std::vector<std::string> Texture::save(const std::string& imageName, FileType type, const WriteOptions& options) const {
    requireImages(*data_);
    ImageOutput output;
    if (type == FileType::Dds) {
        BufferPool buffers;
        const UnpackedLevels unpacked = unpackedWithMipChain(data_->stored, data_->unpack, buffers);
        writeAs(type, *data_, imageName, textureImage(*data_, unpacked.pixels.images(), data_->info.imageCount),
                unpacked.levels, options, output);
    } else {
        const UnpackedPixels unpacked = largestImages(*data_);
        writeAs(type, *data_, imageName, textureImage(*data_, unpacked.images(), data_->info.imageCount), 1, options,
                output);
    }
    return output.placedFiles();
}

}  // namespace lumenpull
