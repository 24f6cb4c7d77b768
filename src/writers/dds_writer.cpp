#include "writers/dds_writer.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "decode/eight_bit_rows.h"
#include "decode/hdr_row.h"
#include "writers/image_file_name.h"
#include "pixels/mip_levels.h"
#include "output/output_file.h"
#include "pixels/pixel_format.h"
#include "pixels/source_bytes.h"
#include "pixels/texture_flags.h"
#include "lumenpull/error.h"

namespace lumenpull {

namespace {

// Header flags.
constexpr uint32_t DdsdCaps = 0x1;
constexpr uint32_t DdsdHeight = 0x2;
constexpr uint32_t DdsdWidth = 0x4;
constexpr uint32_t DdsdPitch = 0x8;
constexpr uint32_t DdsdPixelFormat = 0x1000;
constexpr uint32_t DdsdMipMapCount = 0x20000;
constexpr uint32_t DdsdLinearSize = 0x80000;
// Pixel-format flags.
constexpr uint32_t DdpfAlphaPixels = 0x1;
constexpr uint32_t DdpfFourCc = 0x4;
constexpr uint32_t DdpfRgb = 0x40;
constexpr uint32_t DdpfLuminance = 0x20000;
// Capabilities.
constexpr uint32_t DdsCapsComplex = 0x8;
constexpr uint32_t DdsCapsTexture = 0x1000;
constexpr uint32_t DdsCapsMipMap = 0x400000;
constexpr uint32_t DdsCaps2CubeMap = 0x200;
constexpr uint32_t DdsCaps2AllFaces = 0xFC00;  // positive and negative x, y and z

constexpr uint32_t fourCc(const char (&code)[5]) {
    return uint32_t{static_cast<uint8_t>(code[0])} | uint32_t{static_cast<uint8_t>(code[1])} << 8 |
           uint32_t{static_cast<uint8_t>(code[2])} << 16 | uint32_t{static_cast<uint8_t>(code[3])} << 24;
}
// The legacy number of the 32-bit float red, green, blue, alpha format.
constexpr uint32_t FourCcFloatRgba = 116;

enum class DdsKind {
    Blocks,  // stored 4 × 4 blocks, copied
    Rows,    // 8-bit pixels decoded as for TGA output
    Float,   // high-dynamic-range pixels as float red, green, blue, alpha
};

struct DdsFormat {
    DdsKind kind;
    uint32_t pixelFlags;
    uint32_t fourCc;
    uint32_t bitCount;
    std::array<uint32_t, 4> masks;  // red, green, blue, alpha
    uint32_t blockBytes;            // Blocks
    RowLayout rows;                 // Rows
};

// Stored blocks are copied as they are (BC5 keeps its two channels, whatever
// the texture asks of its blue); decoded rows are decoded as for TGA output.
DdsFormat ddsFormat(const TextureImage& texture, uint8_t sourceBitsPerPixel) {
    const PixelFormat format = texture.pixelFormat;
    const auto blocks = [](const char(&code)[5], uint32_t blockBytes) {
        return DdsFormat{DdsKind::Blocks, DdpfFourCc, fourCc(code), 0, {}, blockBytes, {}};
    };
    switch (format) {
        case PixelFormat::Bc1:
            if (sourceBitsPerPixel == 4) return blocks("DXT1", 8);
            break;
        case PixelFormat::Bc3:
            if (sourceBitsPerPixel == 8) return blocks("DXT5", 16);
            break;
        case PixelFormat::Bc5:
            if (sourceBitsPerPixel == 8) return blocks("ATI2", 16);
            break;
        case PixelFormat::Hdr32:
            if (sourceBitsPerPixel == 32) return DdsFormat{DdsKind::Float, DdpfFourCc, FourCcFloatRgba, 0, {}, 0, {}};
            break;
        default: {
            // The other formats have 8-bit pictures, or no output at all.
            RowLayout rows{};
            try {
                rows = rowLayout(texture, sourceBitsPerPixel);
            } catch (const Error&) {
                break;
            }
            switch (rows.depth) {
                case 8: return {DdsKind::Rows, DdpfLuminance, 0, 8, {0xFF, 0, 0, 0}, 0, rows};
                case 24: return {DdsKind::Rows, DdpfRgb, 0, 24, {0xFF0000, 0xFF00, 0xFF, 0}, 0, rows};
                default:
                    return {DdsKind::Rows, DdpfRgb | DdpfAlphaPixels, 0, 32, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, 0,
                            rows};
            }
        }
    }
    throw Error(std::string("Pixel format ") + std::to_string(static_cast<int32_t>(format)) + " with " + std::to_string(sourceBitsPerPixel) +
                " stored bits per pixel has no DDS output");
}

// How one texture's images are laid out in its pixel data and in the files.
struct DdsGeometry {
    uint32_t width;
    uint32_t height;
    uint8_t bitsPerPixel;
    uint32_t levels;
    uint64_t imageBytes;  // stored bytes of the largest image
    uint64_t faceBytes;   // stored bytes of a face or frame with all its levels
};

// The output bytes of one level in the file.
uint64_t fileLevelBytes(const DdsFormat& f, uint32_t width, uint32_t height) {
    switch (f.kind) {
        case DdsKind::Blocks: return ((uint64_t{width} + 3) / 4) * ((uint64_t{height} + 3) / 4) * f.blockBytes;
        case DdsKind::Rows: return uint64_t{width} * height * (f.rows.depth / 8);
        case DdsKind::Float: return uint64_t{width} * height * 16;
    }
    return 0;
}

void put32(uint8_t* at, uint32_t value) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

std::array<uint8_t, 128> ddsHeader(const DdsFormat& f, uint32_t width, uint32_t height, uint32_t levels, bool cube) {
    std::array<uint8_t, 128> h{};
    uint32_t flags = DdsdCaps | DdsdHeight | DdsdWidth | DdsdPixelFormat | DdsdMipMapCount;
    uint32_t pitchOrLinearSize = 0;
    if (f.kind == DdsKind::Blocks) {
        flags |= DdsdLinearSize;
        pitchOrLinearSize = static_cast<uint32_t>(fileLevelBytes(f, width, height));
    } else {
        flags |= DdsdPitch;
        pitchOrLinearSize = static_cast<uint32_t>(fileLevelBytes(f, width, 1));
    }
    put32(&h[0], fourCc("DDS "));
    put32(&h[4], 124);
    put32(&h[8], flags);
    put32(&h[12], height);
    put32(&h[16], width);
    put32(&h[20], pitchOrLinearSize);
    put32(&h[28], levels);
    // The pixel format, 32 bytes at offset 76.
    put32(&h[76], 32);
    put32(&h[80], f.pixelFlags);
    put32(&h[84], f.fourCc);
    put32(&h[88], f.bitCount);
    for (int i = 0; i < 4; ++i) put32(&h[92 + 4 * i], f.masks[static_cast<std::size_t>(i)]);
    uint32_t caps = DdsCapsTexture;
    if (levels > 1) caps |= DdsCapsComplex | DdsCapsMipMap;
    if (cube) caps |= DdsCapsComplex;
    put32(&h[108], caps);
    put32(&h[112], cube ? DdsCaps2CubeMap | DdsCaps2AllFaces : 0);
    return h;
}

// Writes `count` zero bytes.
void writeZeros(OutputFile& file, uint64_t count) {
    static constexpr std::array<uint8_t, 4096> zeros{};
    while (count != 0) {
        const auto piece = static_cast<std::size_t>(std::min<uint64_t>(count, zeros.size()));
        file.write(std::span<const uint8_t>(zeros).first(piece));
        count -= piece;
    }
}

// The stored bytes from `offset` on, up to `size` of them; fewer (or none)
// where the source ends.
std::span<const uint8_t> storedPart(std::span<const uint8_t> source, uint64_t offset, uint64_t size) {
    if (offset >= source.size()) return {};
    return source.subspan(static_cast<std::size_t>(offset),
                          static_cast<std::size_t>(std::min<uint64_t>(size, source.size() - offset)));
}

// Blocks of one level. The largest image is stored in bands of
// width × bits / 8 × 4 bytes holding width / 4 whole blocks (rounded down),
// and its last partial band not at all; smaller levels are whole blocks,
// rounded up. Blocks nothing covers, and bytes past the source, are zero.
void writeBlockLevel(OutputFile& file, const DdsFormat& f, std::span<const uint8_t> source, uint32_t width,
                     uint32_t height, bool largest, uint8_t bitsPerPixel) {
    const uint64_t blocksPerBand = (uint64_t{width} + 3) / 4;
    const uint64_t bands = (uint64_t{height} + 3) / 4;
    const uint64_t bandBytes = blocksPerBand * f.blockBytes;
    const uint64_t coveredBlocks = largest ? width / 4 : blocksPerBand;
    const uint64_t coveredBands = largest ? height / 4 : bands;
    const uint64_t storedBandBytes = largest ? uint64_t{width} * bitsPerPixel / 8 * 4 : bandBytes;
    if (coveredBlocks == blocksPerBand && storedBandBytes == bandBytes) {
        // Bands follow each other without gaps: one copy.
        const std::span<const uint8_t> stored = storedPart(source, 0, coveredBands * bandBytes);
        file.write(stored);
        writeZeros(file, bands * bandBytes - stored.size());
        return;
    }
    for (uint64_t b = 0; b < bands; ++b) {
        const std::span<const uint8_t> stored =
            b < coveredBands ? storedPart(source, b * storedBandBytes, coveredBlocks * f.blockBytes)
                             : std::span<const uint8_t>();
        file.write(stored);
        writeZeros(file, bandBytes - stored.size());
    }
}

// 8-bit rows (or bands) of one level, decoded as for TGA output; the rows
// of a last, partial band are zero.
void writeRowLevel(OutputFile& file, const DdsFormat& f, std::span<const uint8_t> source, uint32_t width,
                   uint32_t height, uint8_t bitsPerPixel, std::vector<uint8_t>& row) {
    const uint64_t unit = f.rows.bands ? 4 : 1;
    const uint64_t outputRowBytes = uint64_t{width} * (f.rows.depth / 8) * unit;
    const uint64_t storedRowBytes = uint64_t{width} * bitsPerPixel / 8 * unit;
    row.resize(static_cast<std::size_t>(outputRowBytes));
    const uint64_t rows = height / unit;
    for (uint64_t r = 0; r < rows; ++r) {
        convertRow(f.rows, storedPart(source, r * storedRowBytes, storedRowBytes), row, width);
        file.write(row);
    }
    writeZeros(file, (height - rows * unit) * width * (f.rows.depth / 8));
}

// High-dynamic-range rows of one level as float red, green, blue, 1.0.
void writeFloatLevel(OutputFile& file, std::span<const uint8_t> source, uint32_t width, uint32_t height,
                     const HdrRowDecoder& decoder, std::vector<LinearRgb>& linear, std::vector<uint8_t>& row) {
    linear.resize(width);
    row.resize(std::size_t{width} * 16);
    for (uint32_t r = 0; r < height; ++r) {
        decoder.decodeRow(storedPart(source, uint64_t{r} * width * 4, uint64_t{width} * 4), linear, width);
        for (uint32_t x = 0; x < width; ++x) {
            const float values[4] = {static_cast<float>(linear[x].red), static_cast<float>(linear[x].green),
                                     static_cast<float>(linear[x].blue), 1.0f};
            std::memcpy(&row[std::size_t{x} * 16], values, 16);
        }
        file.write(row);
    }
}

class DdsImageWriter {
public:
    DdsImageWriter(const DdsFormat& format, const DdsGeometry& g, bool sharedExponent)
        : f_(format), g_(g), decoder_(sharedExponent) {}

    // One file of `faces` faces (or one frame) whose data begins at
    // `first` in the pixel data, each face `faceBytes` after the one
    // before; written `height` rows high.
    void write(ImageOutput& output, const std::string& path, std::span<const uint8_t> data, uint64_t first,
               uint32_t faces, uint32_t levels, uint32_t height) {
        OutputFile file(output, path);
        file.write(ddsHeader(f_, g_.width, height, levels, faces == 6));
        for (uint32_t face = 0; face < faces; ++face) {
            uint64_t offset = first + uint64_t{face} * g_.faceBytes;
            for (uint32_t level = 0; level < levels; ++level) {
                const MipLevel l = level == 0 ? MipLevel{g_.width, height} : mipLevel(g_.width, g_.height, level);
                const uint64_t storedBytes = storedLevelBytes(g_.width, g_.height, g_.bitsPerPixel, level);
                writeLevel(file, storedPart(data, offset, storedBytes), l, level == 0);
                offset += storedBytes;
            }
        }
        file.finish(static_cast<int32_t>(faces));
    }

private:
    void writeLevel(OutputFile& file, std::span<const uint8_t> source, MipLevel l, bool largest) {
        switch (f_.kind) {
            case DdsKind::Blocks: writeBlockLevel(file, f_, source, l.width, l.height, largest, g_.bitsPerPixel); break;
            case DdsKind::Rows: writeRowLevel(file, f_, source, l.width, l.height, g_.bitsPerPixel, row_); break;
            case DdsKind::Float: writeFloatLevel(file, source, l.width, l.height, decoder_, linear_, row_); break;
        }
    }

    const DdsFormat& f_;
    const DdsGeometry& g_;
    HdrRowDecoder decoder_;
    std::vector<LinearRgb> linear_;
    std::vector<uint8_t> row_;
};

// The height written for an image of top level only: as for TGA output,
// only the rows (bands) that begin inside the pixel data.
uint32_t writtenHeight(const DdsGeometry& g, uint64_t imageStart, std::size_t length) {
    const bool bands = storedInBlocks(g.bitsPerPixel);
    const uint64_t rowCount = bands ? g.height / 4 : g.height;
    uint64_t rowBytes = uint64_t{g.width} * g.bitsPerPixel / 8 * (bands ? 4 : 1);
    // A band one BC1 pixel wide stores less than a byte; its share of the image measures it.
    if (rowBytes == 0 && rowCount != 0) rowBytes = (g.imageBytes + rowCount - 1) / rowCount;
    const uint64_t kept = rowsWithData(imageStart, rowBytes, rowCount, length);
    if (kept >= rowCount) return g.height;
    return static_cast<uint32_t>(bands ? kept * 4 : kept);
}

DdsGeometry ddsGeometry(const TextureImage& texture, uint8_t sourceBitsPerPixel, uint32_t mipLevels) {
    DdsGeometry g{};
    g.width = static_cast<uint16_t>(texture.width);
    g.height = static_cast<uint16_t>(texture.height);
    if (g.width == 0 || g.height == 0) throw Error("An image of no pixels has no DDS output");
    g.bitsPerPixel = sourceBitsPerPixel;
    g.imageBytes = storedLevelBytes(g.width, g.height, sourceBitsPerPixel, 0);
    const auto count = static_cast<uint32_t>(texture.imageCount);

    // The chain is carried only when every face or frame holds all of it.
    g.levels = std::clamp(mipLevels, 1u, fullChainLevels(g.width, g.height));
    g.faceBytes = 0;
    for (uint32_t level = 0; level < g.levels; ++level) {
        g.faceBytes += storedLevelBytes(g.width, g.height, sourceBitsPerPixel, level);
    }
    if (g.levels > 1 && texture.pixelData.size() / count < g.faceBytes) {
        g.levels = 1;
        g.faceBytes = g.imageBytes;
    }
    return g;
}

// One file of a texture: `faces` faces (or one frame) whose data begins at
// `first` in the pixel data, written `height` rows high.
struct DdsFile {
    std::string name;
    uint64_t first;
    uint32_t faces;
    uint32_t height;
};

// Hands `each` the texture's files in order, each named when its turn comes.
template <typename Each>
void forEachDdsFile(const std::string& imageName, const TextureImage& texture, const DdsGeometry& g, Each each) {
    const auto count = static_cast<uint32_t>(texture.imageCount);
    const std::size_t length = texture.pixelData.size();
    const bool cube = (texture.textureFlags & SixFaces) != 0 && count == 6;
    if (cube && length / 6 >= g.faceBytes) {
        each(DdsFile{imageFileName(imageName, 0, 1, "dds"), 0, 6, g.height});
        return;
    }
    for (uint32_t i = 0; i < count; ++i) {
        const uint64_t start = rowOffset(i, std::max<uint64_t>(g.faceBytes, 1), 0, 0);
        if (start >= length) break;
        const uint32_t height = g.levels > 1 ? g.height : writtenHeight(g, start, length);
        each(DdsFile{imageFileName(imageName, static_cast<int32_t>(i), texture.imageCount, "dds"), start, 1, height});
    }
}

}  // namespace

int32_t writeDds(const std::string& imageName, const TextureImage& texture, uint8_t sourceBitsPerPixel,
                 bool sharedExponent, uint32_t mipLevels) {
    ImageOutput output;
    return writeDds(imageName, texture, sourceBitsPerPixel, sharedExponent, mipLevels, output);
}

int32_t writeDds(const std::string& imageName, const TextureImage& texture, uint8_t sourceBitsPerPixel,
                 bool sharedExponent, uint32_t mipLevels, ImageOutput& output) {
    if (texture.imageCount <= 0) return 0;
    const DdsFormat format = ddsFormat(texture, sourceBitsPerPixel);
    const DdsGeometry g = ddsGeometry(texture, sourceBitsPerPixel, mipLevels);
    DdsImageWriter writer(format, g, sharedExponent);
    int32_t images = 0;
    forEachDdsFile(imageName, texture, g, [&](const DdsFile& file) {
        writer.write(output, file.name, texture.pixelData, file.first, file.faces, g.levels, file.height);
        images += static_cast<int32_t>(file.faces);
    });
    return images;
}

void listDdsFiles(const std::string& imageName, const TextureImage& texture, uint8_t sourceBitsPerPixel,
                  uint32_t mipLevels, const ImageOutput& output, ImageFiles& files) {
    if (texture.imageCount <= 0) return;
    ddsFormat(texture, sourceBitsPerPixel);
    const DdsGeometry g = ddsGeometry(texture, sourceBitsPerPixel, mipLevels);
    forEachDdsFile(imageName, texture, g,
                   [&](const DdsFile& file) { output.list(file.name, files, static_cast<int32_t>(file.faces)); });
}

}  // namespace lumenpull
