#include "support/pixel_data_writer.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <stdexcept>

namespace lumenpull::test {
namespace {

uint8_t scaleTo255(int32_t value, int32_t range) {
    return range <= 1 ? uint8_t{0} : static_cast<uint8_t>(value * 255 / (range - 1));
}

void put16(std::vector<uint8_t>& out, uint16_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void put32(std::vector<uint8_t>& out, uint32_t value) {
    put16(out, static_cast<uint16_t>(value));
    put16(out, static_cast<uint16_t>(value >> 16));
}

// --- block encoding -------------------------------------------------------

using Texels = std::array<std::array<uint8_t, 4>, 16>;  // red, green, blue, alpha

Texels blockTexels(const RgbaImage& image, int32_t blockX, int32_t blockY) {
    Texels texels{};
    for (int k = 0; k < 16; ++k) {
        const uint8_t* pixel = image.at(blockX * 4 + k % 4, blockY * 4 + k / 4);
        std::copy_n(pixel, 4, texels[k].begin());
    }
    return texels;
}

uint16_t to565(const std::array<int, 3>& rgb) {
    const int r = (rgb[0] * 31 + 127) / 255;
    const int g = (rgb[1] * 63 + 127) / 255;
    const int b = (rgb[2] * 31 + 127) / 255;
    return static_cast<uint16_t>(r << 11 | g << 5 | b);
}

std::array<int, 3> from565(uint16_t c) {
    const int r = c >> 11;
    const int g = (c >> 5) & 63;
    const int b = c & 31;
    return {r << 3 | r >> 2, g << 2 | g >> 4, b << 3 | b >> 2};
}

// An 8-byte colour block: the per-channel maximum and minimum as endpoints
// (so c0 >= c1), four-colour palette, nearest entry per texel. Equal
// endpoints give every texel entry 0, exact in either mode.
void appendColourBlock(std::vector<uint8_t>& out, const Texels& texels) {
    std::array<int, 3> high{0, 0, 0};
    std::array<int, 3> low{255, 255, 255};
    for (const auto& texel : texels) {
        for (int c = 0; c < 3; ++c) {
            high[c] = std::max<int>(high[c], texel[c]);
            low[c] = std::min<int>(low[c], texel[c]);
        }
    }
    const uint16_t c0 = to565(high);
    const uint16_t c1 = to565(low);
    uint32_t indices = 0;
    if (c0 != c1) {
        const auto p0 = from565(c0);
        const auto p1 = from565(c1);
        std::array<std::array<int, 3>, 4> palette{p0, p1, {}, {}};
        for (int c = 0; c < 3; ++c) {
            palette[2][c] = (2 * p0[c] + p1[c]) / 3;
            palette[3][c] = (p0[c] + 2 * p1[c]) / 3;
        }
        for (int k = 0; k < 16; ++k) {
            int best = 0;
            int bestDistance = INT32_MAX;
            for (int e = 0; e < 4; ++e) {
                int distance = 0;
                for (int c = 0; c < 3; ++c) {
                    const int d = texels[k][c] - palette[e][c];
                    distance += d * d;
                }
                if (distance < bestDistance) {
                    bestDistance = distance;
                    best = e;
                }
            }
            indices |= static_cast<uint32_t>(best) << (2 * k);
        }
    }
    put16(out, c0);
    put16(out, c1);
    put32(out, indices);
}

// An 8-byte single-channel block of channel `channel`: maximum and minimum as
// a0 > a1 (eight-value palette), nearest value per texel.
void appendChannelBlock(std::vector<uint8_t>& out, const Texels& texels, int channel) {
    int high = 0;
    int low = 255;
    for (const auto& texel : texels) {
        high = std::max<int>(high, texel[channel]);
        low = std::min<int>(low, texel[channel]);
    }
    uint64_t codes = 0;
    if (high != low) {
        std::array<int, 8> values{high, low};
        for (int j = 1; j <= 6; ++j) {
            values[j + 1] = ((7 - j) * high + j * low) / 7;
        }
        for (int k = 0; k < 16; ++k) {
            int best = 0;
            for (int e = 1; e < 8; ++e) {
                if (std::abs(texels[k][channel] - values[e]) < std::abs(texels[k][channel] - values[best])) {
                    best = e;
                }
            }
            codes |= static_cast<uint64_t>(best) << (3 * k);
        }
    }
    out.push_back(static_cast<uint8_t>(high));
    out.push_back(static_cast<uint8_t>(low));
    for (int byte = 0; byte < 6; ++byte) {
        out.push_back(static_cast<uint8_t>(codes >> (8 * byte)));
    }
}

template <typename AppendBlock>
std::vector<uint8_t> encodeBlocks(const RgbaImage& image, size_t blockSize, AppendBlock appendBlock) {
    if (image.width % 4 != 0 || image.height % 4 != 0) {
        throw std::invalid_argument("block encoders need a width and height that are multiples of 4");
    }
    std::vector<uint8_t> out;
    out.reserve(static_cast<size_t>(image.width / 4) * (image.height / 4) * blockSize);
    for (int32_t by = 0; by < image.height / 4; ++by) {
        for (int32_t bx = 0; bx < image.width / 4; ++bx) {
            appendBlock(out, blockTexels(image, bx, by));
        }
    }
    return out;
}

// --- plane coding ---------------------------------------------------------

enum class Kind { Colour, Grey, AlphaOnly, Block };

struct PlaneFormat {
    Kind kind;
    bool alpha;
    size_t padding;  // unused source bytes per pixel after the planes
};

PlaneFormat planeFormat(int32_t pixelFormat) {
    switch (pixelFormat) {
        case 2:
        case 4: return {Kind::Colour, false, 0};
        case 3:
        case 5:
        case 12: return {Kind::Colour, true, 0};
        case 6: return {Kind::Grey, true, 0};
        case 7: return {Kind::Grey, false, 0};
        case 8: return {Kind::AlphaOnly, true, 0};
        case 9: return {Kind::Block, false, 0};
        case 10:
        case 15: return {Kind::Block, true, 0};
        default:  // colour without alpha, yet the decoder counts 4 source bytes per pixel
            return {Kind::Colour, false, 1};
    }
}

// One plane of byte deltas of decoded byte `offset` in each 4-byte pixel.
void appendDeltaPlane(std::vector<uint8_t>& out, std::span<const uint8_t> decoded, size_t offset, uint8_t start) {
    uint8_t previous = start;
    for (size_t i = offset; i + 4 - offset <= decoded.size(); i += 4) {
        out.push_back(static_cast<uint8_t>(decoded[i] - previous));
        previous = decoded[i];
    }
}

// One plane of 16-bit deltas of the word at `offset` in each block.
void appendEndpointPlane(std::vector<uint8_t>& out, std::span<const uint8_t> decoded, size_t blockSize, size_t offset) {
    uint16_t previous = 0;
    for (size_t i = 0; i + blockSize <= decoded.size(); i += blockSize) {
        const auto value = static_cast<uint16_t>(decoded[i + offset] | decoded[i + offset + 1] << 8);
        put16(out, static_cast<uint16_t>(value - previous));
        previous = value;
    }
}

// One plane of `size` bytes copied from `offset` in each block.
void appendCopiedPlane(std::vector<uint8_t>& out, std::span<const uint8_t> decoded, size_t blockSize, size_t offset,
                       size_t size) {
    for (size_t i = 0; i + blockSize <= decoded.size(); i += blockSize) {
        out.insert(out.end(), decoded.begin() + i + offset, decoded.begin() + i + offset + size);
    }
}

}  // namespace

// --- pictures ---------------------------------------------------------------

RgbaImage makeGradient(int32_t width, int32_t height) {
    RgbaImage image(width, height);
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            uint8_t* pixel = image.at(x, y);
            pixel[0] = scaleTo255(x, width);
            pixel[1] = scaleTo255(y, height);
            pixel[2] = 96;
            pixel[3] = 255;
        }
    }
    return image;
}

RgbaImage makeColourWheel(int32_t width, int32_t height) {
    RgbaImage image(width, height);
    const double cx = (width - 1) / 2.0;
    const double cy = (height - 1) / 2.0;
    const double radius = std::min(width, height) / 2.0;
    const double pi = std::acos(-1.0);
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            const double dx = x - cx;
            const double dy = cy - y;  // up is positive, so hues run counter-clockwise on screen
            const double distance = std::sqrt(dx * dx + dy * dy) / radius;
            uint8_t* pixel = image.at(x, y);
            if (distance > 1.0) {
                std::fill_n(pixel, 4, 0);
                continue;
            }
            const double hue = (std::atan2(dy, dx) + (dy < 0 ? 2 * pi : 0)) / (2 * pi) * 6.0;  // 0 to 6
            for (int c = 0; c < 3; ++c) {
                // Red peaks at hue 0, green at 2, blue at 4; d is the distance
                // round the wheel from the channel's peak (0 to 3).
                const double d = std::fabs(std::fmod(hue - 2.0 * c + 9.0, 6.0) - 3.0);
                const double full = std::clamp(2.0 - d, 0.0, 1.0);
                const double value = 1.0 - distance * (1.0 - full);  // white at the centre
                pixel[c] = static_cast<uint8_t>(std::lround(value * 255.0));
            }
            pixel[3] = 255;
        }
    }
    return image;
}

RgbaImage makeCheckerboard(int32_t width, int32_t height, int32_t cell) {
    RgbaImage image(width, height);
    const int32_t marker = std::min(width, height) / 4;
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            uint8_t* pixel = image.at(x, y);
            if (x < marker && y < marker) {
                pixel[0] = 255;
                pixel[1] = 0;
                pixel[2] = 0;
            } else {
                const uint8_t shade = ((x / cell + y / cell) % 2 == 0) ? 255 : 64;
                std::fill_n(pixel, 3, shade);
            }
            pixel[3] = 255;
        }
    }
    return image;
}

// --- stored layouts -----------------------------------------------------------

std::vector<uint8_t> storeBgra(const RgbaImage& image) {
    std::vector<uint8_t> out;
    out.reserve(image.rgba.size());
    for (size_t i = 0; i < image.rgba.size(); i += 4) {
        out.insert(out.end(), {image.rgba[i + 2], image.rgba[i + 1], image.rgba[i], image.rgba[i + 3]});
    }
    return out;
}

std::vector<uint8_t> storeBgr(const RgbaImage& image) {
    std::vector<uint8_t> out;
    out.reserve(image.rgba.size() / 4 * 3);
    for (size_t i = 0; i < image.rgba.size(); i += 4) {
        out.insert(out.end(), {image.rgba[i + 2], image.rgba[i + 1], image.rgba[i]});
    }
    return out;
}

std::vector<uint8_t> storeGrey(const RgbaImage& image, int bytesPerPixel) {
    std::vector<uint8_t> out;
    out.reserve(image.rgba.size() / 4 * bytesPerPixel);
    for (size_t i = 0; i < image.rgba.size(); i += 4) {
        out.push_back(
            static_cast<uint8_t>((image.rgba[i] * 77 + image.rgba[i + 1] * 150 + image.rgba[i + 2] * 29) >> 8));
        out.insert(out.end(), static_cast<size_t>(bytesPerPixel - 1), 0);
    }
    return out;
}

// --- block encoders -----------------------------------------------------------

std::vector<uint8_t> encodeBc1(const RgbaImage& image) {
    return encodeBlocks(image, 8, [](auto& out, const Texels& texels) { appendColourBlock(out, texels); });
}

std::vector<uint8_t> encodeBc3(const RgbaImage& image) {
    return encodeBlocks(image, 16, [](auto& out, const Texels& texels) {
        appendChannelBlock(out, texels, 3);
        appendColourBlock(out, texels);
    });
}

std::vector<uint8_t> encodeBc5(const RgbaImage& image) {
    return encodeBlocks(image, 16, [](auto& out, const Texels& texels) {
        appendChannelBlock(out, texels, 0);
        appendChannelBlock(out, texels, 1);
    });
}

// --- zlib -------------------------------------------------------------------

std::vector<uint8_t> compressZlib(std::span<const uint8_t> raw, bool sizePrefix) {
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    std::vector<uint8_t> out(size);
    if (compress2(out.data(), &size, raw.data(), static_cast<uLong>(raw.size()), Z_BEST_COMPRESSION) != Z_OK) {
        throw std::runtime_error("zlib compression failed");
    }
    out.resize(size);
    if (sizePrefix) {
        std::vector<uint8_t> prefix;
        put32(prefix, static_cast<uint32_t>(raw.size()));
        out.insert(out.begin(), prefix.begin(), prefix.end());
    }
    return out;
}

// --- planes -------------------------------------------------------------------

std::vector<uint8_t> encodePlanes(std::span<const uint8_t> decoded, int32_t pixelFormat) {
    const PlaneFormat format = planeFormat(pixelFormat);
    std::vector<uint8_t> out;
    out.reserve(decoded.size());
    const uint8_t alphaStart = format.alpha ? 255 : 0;
    switch (format.kind) {
        case Kind::Colour:
            appendDeltaPlane(out, decoded, 2, 0);  // red
            appendDeltaPlane(out, decoded, 1, 0);  // green
            appendDeltaPlane(out, decoded, 0, 0);  // blue
            if (format.alpha) {
                appendDeltaPlane(out, decoded, 3, alphaStart);
            }
            out.insert(out.end(), decoded.size() / 4 * format.padding, 0);
            break;
        case Kind::Grey:
            appendDeltaPlane(out, decoded, 2, 0);
            if (format.alpha) {
                appendDeltaPlane(out, decoded, 3, alphaStart);
            }
            break;
        case Kind::AlphaOnly: appendDeltaPlane(out, decoded, 3, alphaStart); break;
        case Kind::Block: {
            const size_t blockSize = format.alpha ? 16 : 8;
            const size_t colourAt = format.alpha ? 8 : 0;
            appendEndpointPlane(out, decoded, blockSize, colourAt);
            appendEndpointPlane(out, decoded, blockSize, colourAt + 2);
            appendCopiedPlane(out, decoded, blockSize, colourAt + 4, 4);
            if (format.alpha) {
                appendCopiedPlane(out, decoded, blockSize, 0, 8);
            }
            break;
        }
    }
    return out;
}

// --- mip chains -----------------------------------------------------------------

size_t smallerMipLevelsSize(int32_t width, int32_t height, int bitsPerPixel) {
    const int32_t smallest = bitsPerPixel <= 8 ? 4 : 1;
    size_t total = 0;
    while (width > 1 || height > 1) {
        width = std::max(width / 2, 1);
        height = std::max(height / 2, 1);
        total += static_cast<size_t>(std::max(width, smallest)) * std::max(height, smallest) * bitsPerPixel / 8;
    }
    return total;
}

std::vector<uint8_t> buildMipChain(std::span<const uint8_t> largestImages, uint32_t imageCount,
                                   size_t smallerLevelsSize, uint16_t layoutWord) {
    const size_t imageSize = imageCount == 0 ? 0 : largestImages.size() / imageCount;
    std::vector<uint8_t> out;
    out.reserve((imageSize + smallerLevelsSize) * imageCount);
    for (uint32_t k = 0; k < imageCount; ++k) {
        const auto image = largestImages.subspan(k * imageSize, imageSize);
        std::vector<uint8_t> levels(smallerLevelsSize);
        for (size_t i = 0; i < levels.size(); ++i) {
            levels[i] = static_cast<uint8_t>(0xC3 ^ (i + k));  // filler the unpacking must drop
        }
        if (layoutWord == 0) {
            out.insert(out.end(), image.begin(), image.end());
            out.insert(out.end(), levels.begin(), levels.end());
        } else {
            out.insert(out.end(), levels.begin(), levels.end());
            out.insert(out.end(), image.begin(), image.end());
        }
    }
    return out;
}

}  // namespace lumenpull::test
