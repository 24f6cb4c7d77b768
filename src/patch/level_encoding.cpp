#include "patch/level_encoding.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "decode/hdr_row.h"
#include "lumenpull/error.h"
#include "patch/block_encoder.h"
#include "pixels/mip_levels.h"
#include "pixels/pixel_format.h"

namespace lumenpull {
namespace {

uint32_t ceilQuarter(uint32_t value) { return (value + 3) / 4; }

// Decoded 8-bit pixels come blue, green, red (alpha), images red, green,
// blue (alpha): one swap either way.
void swapRedBlue(uint8_t* pixel, uint32_t channels) {
    if (channels >= 3) std::swap(pixel[0], pixel[2]);
}

// The pixel at (x, y) of an 8-bit image in the decoders' byte order.
void decodedOrderPixel(const Image& image, uint32_t x, uint32_t y, uint8_t* out) {
    const uint32_t channels = image.shape.channels();
    const uint8_t* in = image.bytes.data() + (size_t{y} * image.shape.width + x) * channels;
    std::memcpy(out, in, channels);
    swapRedBlue(out, channels);
}

// Writes what a decoded pixel shows into a stored pixel of a row kind,
// leaving the bytes the decoder does not show as they are.
void storePixel(RowKind kind, const uint8_t* decoded, uint8_t* stored) {
    switch (kind) {
        case RowKind::Bgr32:
        case RowKind::Bgr24: std::memcpy(stored, decoded, 3); break;
        case RowKind::Bgr32TwoChannel:
        case RowKind::Bgr24TwoChannel:
            stored[1] = decoded[1];
            stored[2] = decoded[2];
            break;
        case RowKind::Grey24:
        case RowKind::Grey32: stored[0] = decoded[0]; break;
        default: std::memcpy(stored, decoded, 4); break;
    }
}

void encodeRows(const StoredForm& form, const LevelGeometry& level, const Image& image, std::span<uint8_t> stored) {
    const uint32_t storedBytes = form.bitsPerPixel / 8;
    const uint32_t channels = form.depth / 8;
    const size_t rowBytes = size_t{level.width} * storedBytes;
    std::vector<uint8_t> decoded(size_t{level.width} * channels);
    uint8_t wanted[4];
    for (uint32_t y = 0; y < level.height; ++y) {
        const std::span<uint8_t> row = stored.subspan(y * rowBytes, rowBytes);
        convertRow(form.kind, row, decoded, level.width);
        for (uint32_t x = 0; x < level.width; ++x) {
            decodedOrderPixel(image, x, y, wanted);
            if (std::memcmp(wanted, decoded.data() + size_t{x} * channels, channels) == 0) continue;
            storePixel(form.kind, wanted, row.data() + size_t{x} * storedBytes);
        }
    }
}

void encodeBlocks(const StoredForm& form, const LevelGeometry& level, const Image& image, std::span<uint8_t> stored) {
    const uint32_t blockBytes = blockBytesOf(form.kind);
    const uint32_t channels = form.depth / 8;
    const uint32_t bandWidth = level.blocksPerBand * 4;
    const size_t bandStored = size_t{level.blocksPerBand} * blockBytes;
    std::vector<uint8_t> decoded(size_t{bandWidth} * 4 * channels);
    for (uint32_t band = 0; band < level.bands; ++band) {
        const std::span<uint8_t> source = stored.subspan(band * bandStored, bandStored);
        convertRow(form.kind, source, decoded, bandWidth);
        for (uint32_t b = 0; b < level.blocksPerBand; ++b) {
            BlockTarget target;
            target.bytesPerTexel = channels;
            target.mask = 0;
            bool same = true;
            for (uint32_t k = 0; k < 16; ++k) {
                const uint32_t x = 4 * b + k % 4;
                const uint32_t y = 4 * band + k / 4;
                if (x >= level.width || y >= level.height) continue;
                target.mask |= 1 << k;
                uint8_t* texel = target.texels.data() + size_t{k} * channels;
                decodedOrderPixel(image, x, y, texel);
                const uint8_t* shown = decoded.data() + (size_t{k / 4} * bandWidth + x) * channels;
                if (std::memcmp(texel, shown, channels) != 0) same = false;
            }
            if (!same) encodeBlock(form.kind, target, source.subspan(size_t{b} * blockBytes, blockBytes));
        }
    }
}

// The undecoded 8-bit block format shows each band's stored bytes as its
// first row.
void encodeBlock8(const LevelGeometry& level, const Image& image, std::span<uint8_t> stored) {
    const size_t bandStored = size_t{level.width} * 4;
    for (uint32_t band = 0; band < level.bands; ++band) {
        uint8_t* out = stored.data() + band * bandStored;
        for (uint32_t x = 0; x < level.width; ++x) decodedOrderPixel(image, x, 4 * band, out + size_t{x} * 4);
    }
}

// Finds stored bytes for high-dynamic-range pixels: exact ones where the
// encoding can hold the values, otherwise the nearest of the finest
// exponents that hold the largest channel.
class HdrPixelEncoder {
public:
    explicit HdrPixelEncoder(bool sharedExponent)
        : decoder_(sharedExponent),
          sharedExponent_(sharedExponent),
          exponents_(sharedExponent ? 32 : 256),
          largest_(sharedExponent ? 511 : 255) {
        for (uint32_t e = 0; e < exponents_; ++e) {
            scale_[e] = decoder_.channelScale(e);
            inverse_[e] = 1 / scale_[e];
        }
    }

    const HdrRowDecoder& decoder() const { return decoder_; }

    void encode(const float* wanted, uint8_t* out) const {
        double v[3];
        for (int c = 0; c < 3; ++c) v[c] = std::isfinite(wanted[c]) ? std::max(0.0, double{wanted[c]}) : 0.0;
        const double top = std::max({v[0], v[1], v[2]});
        // The finest exponent whose mantissas reach the largest channel.
        const uint32_t first = static_cast<uint32_t>(
            std::lower_bound(scale_.begin(), scale_.begin() + exponents_, top / (largest_ + 0.5)) - scale_.begin());
        Fit best;
        for (uint32_t e = first > 0 ? first - 1 : 0; e < std::min(first + 3, exponents_); ++e) {
            const Fit fit = fitAt(v, e);
            if (fit.error < best.error) best = fit;
        }
        // Values of the texture's own (a pixel copied from elsewhere) may
        // need a coarser exponent with smaller mantissas to come back exactly.
        for (uint32_t e = first + 3; best.error != 0 && e < exponents_ && top * inverse_[e] >= 0.5; ++e) {
            // The largest channel first: it rules out nearly every exponent.
            if (static_cast<float>(std::nearbyint(top * inverse_[e]) * scale_[e]) != top) continue;
            const Fit fit = fitAt(v, e);
            if (fit.error == 0) best = fit;
        }
        if (sharedExponent_) {
            const uint32_t word = best.m[0] | (best.m[1] << 9) | (best.m[2] << 18) | (best.exponent << 27);
            for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(word >> (8 * i));
        } else {
            out[0] = static_cast<uint8_t>(best.m[2]);
            out[1] = static_cast<uint8_t>(best.m[1]);
            out[2] = static_cast<uint8_t>(best.m[0]);
            out[3] = static_cast<uint8_t>(best.exponent);
        }
    }

private:
    struct Fit {
        uint32_t m[3] = {0, 0, 0};
        uint32_t exponent = 0;
        double error = INFINITY;
    };

    // The nearest mantissas at exponent e, and how far the decoded values
    // (single precision, as the decoder gives them) lie from the wanted ones.
    Fit fitAt(const double* v, uint32_t e) const {
        Fit fit;
        fit.exponent = e;
        fit.error = 0;
        for (int c = 0; c < 3; ++c) {
            fit.m[c] = static_cast<uint32_t>(std::clamp(std::nearbyint(v[c] / scale_[e]), 0.0, largest_));
            fit.error += std::fabs(static_cast<float>(fit.m[c] * scale_[e]) - v[c]);
        }
        return fit;
    }

    HdrRowDecoder decoder_;
    bool sharedExponent_;
    uint32_t exponents_;
    double largest_;
    std::array<double, 256> scale_{};
    std::array<double, 256> inverse_{};
};

void encodeHdr(const StoredForm& form, const LevelGeometry& level, const Image& image, std::span<uint8_t> stored) {
    const HdrPixelEncoder encoder(form.sharedExponent);
    std::vector<LinearRgb> decoded(level.width);
    const size_t rowBytes = size_t{level.width} * 4;
    for (uint32_t y = 0; y < level.height; ++y) {
        const std::span<uint8_t> row = stored.subspan(y * rowBytes, rowBytes);
        encoder.decoder().decodeRow(row, decoded, level.width);
        for (uint32_t x = 0; x < level.width; ++x) {
            const float* wanted = image.floats.data() + (size_t{y} * level.width + x) * 3;
            const LinearRgb& shown = decoded[x];
            if (static_cast<float>(shown.red) == wanted[0] && static_cast<float>(shown.green) == wanted[1] &&
                static_cast<float>(shown.blue) == wanted[2]) {
                continue;
            }
            encoder.encode(wanted, row.data() + size_t{x} * 4);
        }
    }
}

}  // namespace

PixelLayout StoredForm::layout() const {
    if (highDynamicRange) return PixelLayout::RgbFloat;
    if (depth == 8) return PixelLayout::Grey8;
    return depth == 24 ? PixelLayout::Rgb8 : PixelLayout::Rgba8;
}

StoredForm storedFormOf(PixelFormat format, bool twoChannel, uint8_t bitsPerPixel, bool sharedExponent) {
    StoredForm form;
    form.bitsPerPixel = bitsPerPixel;
    if (format == PixelFormat::Hdr32) {
        form.highDynamicRange = true;
        form.sharedExponent = sharedExponent;
        form.bitsPerPixel = 32;
        form.depth = 96;
        return form;
    }
    const RowLayout layout = rowLayout(format, twoChannel, bitsPerPixel);
    form.kind = layout.kind;
    form.depth = layout.depth;
    form.blocks = layout.bands && layout.kind != RowKind::Block8;
    return form;
}

LevelGeometry levelGeometry(const StoredForm& form, uint32_t width, uint32_t height, uint32_t level) {
    LevelGeometry g;
    const MipLevel size = mipLevel(width, height, level);
    g.width = size.width;
    g.height = size.height;
    g.bytes = storedLevelBytes(width, height, form.bitsPerPixel, level);
    if (level == 0) {
        g.width = width;
        g.height = height;
        g.bytes = uint64_t{width} * height * form.bitsPerPixel / 8;
    }
    if (form.kind == RowKind::Block8 && !form.highDynamicRange) {
        g.bands = g.height / 4;
    } else if (form.blocks) {
        if (level == 0) {
            if (width % 4 != 0) {
                throw Error("Block-coded texture " + std::to_string(width) + " pixels wide: only widths that are " +
                            "multiples of 4 can be encoded");
            }
            g.bands = height / 4;
            g.blocksPerBand = width / 4;
        } else {
            g.bands = ceilQuarter(g.height);
            g.blocksPerBand = ceilQuarter(g.width);
        }
    }
    return g;
}

void encodeLevel(const StoredForm& form, const LevelGeometry& level, const Image& image, std::span<uint8_t> stored) {
    if (stored.size() < level.bytes) throw Error("Stored level shorter than its picture");
    if (form.highDynamicRange) {
        encodeHdr(form, level, image, stored);
    } else if (form.kind == RowKind::Block8) {
        encodeBlock8(level, image, stored);
    } else if (form.blocks) {
        encodeBlocks(form, level, image, stored);
    } else {
        encodeRows(form, level, image, stored);
    }
}

Image decodeLevel(const StoredForm& form, const LevelGeometry& level, std::span<const uint8_t> stored) {
    Image image;
    image.shape = {level.width, level.height, form.layout()};
    const uint32_t channels = image.shape.channels();
    if (form.highDynamicRange) {
        image.floats.assign(static_cast<size_t>(image.shape.values()), 0.0f);
        const HdrRowDecoder decoder(form.sharedExponent);
        std::vector<LinearRgb> row(level.width);
        const size_t rowBytes = size_t{level.width} * 4;
        for (uint32_t y = 0; y < level.height && y * rowBytes < stored.size(); ++y) {
            decoder.decodeRow(stored.subspan(y * rowBytes), row, level.width);
            float* out = image.floats.data() + size_t{y} * level.width * 3;
            for (uint32_t x = 0; x < level.width; ++x) {
                out[3 * x] = static_cast<float>(row[x].red);
                out[3 * x + 1] = static_cast<float>(row[x].green);
                out[3 * x + 2] = static_cast<float>(row[x].blue);
            }
        }
        return image;
    }
    image.bytes.assign(static_cast<size_t>(image.shape.values()), 0);
    const auto put = [&](const uint8_t* pixel, uint32_t x, uint32_t y) {
        uint8_t* out = image.bytes.data() + (size_t{y} * level.width + x) * channels;
        std::memcpy(out, pixel, channels);
        swapRedBlue(out, channels);
    };
    if (form.blocks || form.kind == RowKind::Block8) {
        const bool block8 = form.kind == RowKind::Block8;
        const uint32_t bandWidth = block8 ? level.width : level.blocksPerBand * 4;
        const size_t bandStored =
            block8 ? size_t{level.width} * 4 : size_t{level.blocksPerBand} * blockBytesOf(form.kind);
        std::vector<uint8_t> band(size_t{bandWidth} * 4 * channels);
        for (uint32_t b = 0; b < level.bands; ++b) {
            const size_t start = std::min(b * bandStored, stored.size());
            convertRow(form.kind, stored.subspan(start, std::min(bandStored, stored.size() - start)), band, bandWidth);
            for (uint32_t r = 0; r < 4 && 4 * b + r < level.height; ++r)
                for (uint32_t x = 0; x < level.width; ++x)
                    put(band.data() + (size_t{r} * bandWidth + x) * channels, x, 4 * b + r);
        }
        return image;
    }
    const size_t rowBytes = size_t{level.width} * form.bitsPerPixel / 8;
    std::vector<uint8_t> row(size_t{level.width} * channels);
    for (uint32_t y = 0; y < level.height && y * rowBytes < stored.size(); ++y) {
        convertRow(form.kind, stored.subspan(y * rowBytes), row, level.width);
        for (uint32_t x = 0; x < level.width; ++x) put(row.data() + size_t{x} * channels, x, y);
    }
    return image;
}

}  // namespace lumenpull
