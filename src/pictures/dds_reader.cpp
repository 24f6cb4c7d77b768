#include <algorithm>
#include <bit>
#include <cstring>
#include <string>

#include "bytes/little_endian.h"
#include "decode/eight_bit_rows.h"
#include "lumenpull/error.h"
#include "pictures/picture_readers.h"

namespace lumenpull {

namespace {

constexpr std::size_t kHeaderBytes = 128;
constexpr uint32_t DdpfFourCc = 0x4;
constexpr uint32_t DdpfRgb = 0x40;
constexpr uint32_t DdpfLuminance = 0x20000;
constexpr uint32_t DdsdMipMapCount = 0x20000;
constexpr uint32_t DdsCaps2CubeMap = 0x200;
constexpr uint32_t FourCcFloatRgba = 116;

constexpr uint32_t fourCc(const char (&code)[5]) {
    return uint32_t{static_cast<uint8_t>(code[0])} | uint32_t{static_cast<uint8_t>(code[1])} << 8 |
           uint32_t{static_cast<uint8_t>(code[2])} << 16 | uint32_t{static_cast<uint8_t>(code[3])} << 24;
}

// The formats the DDS writer writes, and how the largest level decodes.
struct DdsKind {
    const char* name;
    uint32_t blockBytes;     // block formats: bytes of a 4 × 4 block
    uint32_t bytesPerPixel;  // row formats
    RowKind blockRows;       // block formats: the tool's own band decoder
    PixelLayout layout;
};

DdsKind ddsKind(std::span<const uint8_t, kHeaderBytes> h) {
    const uint32_t flags = loadLittleEndian32(&h[80]);
    const uint32_t code = loadLittleEndian32(&h[84]);
    const uint32_t bits = loadLittleEndian32(&h[88]);
    const auto masks = [&](uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
        return loadLittleEndian32(&h[92]) == r && loadLittleEndian32(&h[96]) == g && loadLittleEndian32(&h[100]) == b &&
               loadLittleEndian32(&h[104]) == a;
    };
    if (flags & DdpfFourCc) {
        if (code == fourCc("DXT1")) return {"DXT1", 8, 0, RowKind::Bc1, PixelLayout::Rgb8};
        if (code == fourCc("DXT5")) return {"DXT5", 16, 0, RowKind::Bc3, PixelLayout::Rgba8};
        if (code == fourCc("ATI2")) return {"ATI2", 16, 0, RowKind::Bc5, PixelLayout::Rgb8};
        if (code == FourCcFloatRgba) return {"RGBA32F", 0, 16, RowKind::CopyStored, PixelLayout::RgbFloat};
    } else if ((flags & DdpfLuminance) && bits == 8 && masks(0xFF, 0, 0, 0)) {
        return {"L8", 0, 1, RowKind::CopyStored, PixelLayout::Grey8};
    } else if ((flags & DdpfRgb) && bits == 24 && masks(0xFF0000, 0xFF00, 0xFF, 0)) {
        return {"R8G8B8", 0, 3, RowKind::CopyStored, PixelLayout::Rgb8};
    } else if ((flags & DdpfRgb) && bits == 32 && masks(0xFF0000, 0xFF00, 0xFF, 0xFF000000)) {
        return {"A8R8G8B8", 0, 4, RowKind::CopyStored, PixelLayout::Rgba8};
    }
    throw Error("DDS pixel format not read (DXT1, DXT5, ATI2, L8, R8G8B8, A8R8G8B8 or 32-bit float RGBA)");
}

uint64_t levelBytes(const DdsKind& kind, uint64_t width, uint64_t height) {
    if (kind.blockBytes != 0) return (width + 3) / 4 * ((height + 3) / 4) * kind.blockBytes;
    return width * height * kind.bytesPerPixel;
}

// The largest level's pixels: blocks through the tool's own decoder (the
// pixels a TGA of the same blocks holds), rows reordered red first.
Image decodedLevel(const DdsKind& kind, const StoredLevel& level) {
    Image image;
    image.shape = {level.width, level.height, kind.layout};
    const std::size_t pixels = std::size_t{level.width} * level.height;
    const uint8_t* stored = level.bytes.data();
    switch (kind.layout) {
        case PixelLayout::RgbFloat:
            image.floats.resize(pixels * 3);
            for (std::size_t i = 0; i < pixels; ++i) std::memcpy(&image.floats[i * 3], stored + i * 16, 12);
            return image;
        case PixelLayout::Grey8:
            if (kind.blockBytes == 0) {
                image.bytes = level.bytes;
                return image;
            }
            break;
        default: break;
    }
    const uint32_t channels = layoutChannels(kind.layout);
    image.bytes.resize(pixels * channels);
    if (kind.blockBytes == 0) {
        for (std::size_t i = 0; i < pixels; ++i) {
            uint8_t* out = &image.bytes[i * channels];
            const uint8_t* in = stored + i * channels;
            out[0] = in[2];
            out[1] = in[1];
            out[2] = in[0];
            if (channels == 4) out[3] = in[3];
        }
        return image;
    }
    const uint32_t wide = (level.width + 3) / 4 * 4;
    const std::size_t bandSource = std::size_t{wide} / 4 * kind.blockBytes;
    std::vector<uint8_t> band(std::size_t{wide} * 4 * channels);
    for (uint32_t y = 0; y < level.height; y += 4) {
        convertRow(kind.blockRows, std::span<const uint8_t>(level.bytes).subspan(y / 4 * bandSource, bandSource), band,
                   wide);
        for (uint32_t r = 0; r < 4 && y + r < level.height; ++r) {
            const uint8_t* in = &band[std::size_t{r} * wide * channels];
            uint8_t* out = &image.bytes[(std::size_t{y} + r) * level.width * channels];
            for (uint32_t x = 0; x < level.width; ++x, in += channels, out += channels) {
                out[0] = in[2];
                out[1] = in[1];
                out[2] = in[0];
                if (channels == 4) out[3] = in[3];
            }
        }
    }
    return image;
}

}  // namespace

Picture readDds(std::span<const uint8_t> file) {
    if (file.size() < kHeaderBytes) throw Error("Truncated DDS file");
    const std::span<const uint8_t, kHeaderBytes> h = file.first<kHeaderBytes>();
    if (loadLittleEndian32(&h[0]) != fourCc("DDS ") || loadLittleEndian32(&h[4]) != 124) {
        throw Error("Not a DDS file");
    }
    const DdsKind kind = ddsKind(h);
    const uint32_t height = loadLittleEndian32(&h[12]);
    const uint32_t width = loadLittleEndian32(&h[16]);
    if (width == 0 || height == 0) throw Error("DDS picture without pixels");
    if (width > 65535 || height > 65535) throw Error("DDS picture larger than any texture");
    uint32_t levels = (loadLittleEndian32(&h[8]) & DdsdMipMapCount) ? loadLittleEndian32(&h[28]) : 1;
    const uint32_t chain = std::bit_width(std::max(width, height));
    if (levels == 0) levels = 1;
    if (levels > chain) throw Error("DDS file with more mip levels than its size has");
    const uint32_t caps2 = loadLittleEndian32(&h[112]);
    const uint32_t faces = (caps2 & DdsCaps2CubeMap) ? 6 : 1;
    if (faces == 6 && (caps2 & 0xFC00) != 0xFC00) throw Error("DDS cube map without all six faces");

    // Every byte is accounted for before anything is allocated.
    uint64_t faceBytes = 0;
    for (uint32_t l = 0; l < levels; ++l)
        faceBytes += levelBytes(kind, std::max(width >> l, 1u), std::max(height >> l, 1u));
    if ((file.size() - kHeaderBytes) / faces < faceBytes) throw Error("Truncated DDS file");

    Picture picture;
    std::size_t at = kHeaderBytes;
    for (uint32_t face = 0; face < faces; ++face) {
        StoredLevels stored;
        stored.format = kind.name;
        for (uint32_t l = 0; l < levels; ++l) {
            StoredLevel level;
            level.width = std::max(width >> l, 1u);
            level.height = std::max(height >> l, 1u);
            const auto bytes = static_cast<std::size_t>(levelBytes(kind, level.width, level.height));
            level.bytes.assign(file.begin() + static_cast<std::ptrdiff_t>(at),
                               file.begin() + static_cast<std::ptrdiff_t>(at + bytes));
            at += bytes;
            stored.levels.push_back(std::move(level));
        }
        picture.images.push_back(decodedLevel(kind, stored.levels.front()));
        picture.stored.push_back(std::move(stored));
    }
    return picture;
}

}  // namespace lumenpull
