#include "image/bc_bands.h"

#include <algorithm>
#include <cstring>

#include "image/alpha_block.h"
#include "image/colour_block.h"
#include "image/source_bytes.h"

namespace lumenpull {

namespace {

// Runs decodeBlock(block bytes, first output byte of the block, band row
// stride) over the width / 4 blocks of a band.
template <std::size_t BlockBytes, std::size_t Out, typename DecodeBlock>
void decodeBand(std::span<const uint8_t> source, std::span<uint8_t> band, uint32_t width, DecodeBlock decodeBlock) {
    const std::size_t rowBytes = std::size_t{width} * Out;
    requireDestination(band, 4 * rowBytes);
    const std::size_t blocks = width / 4;
    const std::size_t whole = std::min(blocks, source.size() / BlockBytes);
    uint8_t* out = band.data();
    for (std::size_t i = 0; i < whole; ++i) {
        decodeBlock(std::span<const uint8_t, BlockBytes>(source.data() + i * BlockBytes, BlockBytes),
                    out + i * 4 * Out, rowBytes);
    }
    for (std::size_t i = whole; i < blocks; ++i) {
        const auto padded = loadPadded<BlockBytes>(source, i * BlockBytes);
        decodeBlock(std::span<const uint8_t, BlockBytes>(padded), out + i * 4 * Out, rowBytes);
    }
    // A band of width 0 may have no buffer at all: nothing to clear then.
    const std::size_t covered = blocks * 4 * Out;
    if (covered == rowBytes) return;
    for (std::size_t y = 0; y < 4; ++y) std::memset(out + y * rowBytes + covered, 0, rowBytes - covered);
}

// Writes texel k of a red, green, blue, alpha block through put(texel, pixel).
template <std::size_t Out, typename Put>
void placeTexels(const TexelBlock& texels, uint8_t* blockOut, std::size_t rowBytes, Put put) {
    for (std::size_t k = 0; k < 16; ++k) put(&texels[4 * k], blockOut + (k / 4) * rowBytes + (k % 4) * Out);
}

TexelBlock decodeBc3Texels(std::span<const uint8_t, 16> block) {
    TexelBlock texels = decodeColourBlock(block.subspan<8, 8>());
    decodeAlphaBlock(block.subspan<0, 8>(), texels, 3, 4);
    return texels;
}

}  // namespace

void decodeBc1Band(std::span<const uint8_t> source, std::span<uint8_t> band, uint32_t width) {
    decodeBand<8, 3>(source, band, width, [](std::span<const uint8_t, 8> block, uint8_t* out, std::size_t rowBytes) {
        placeTexels<3>(decodeColourBlock(block), out, rowBytes, [](const uint8_t* t, uint8_t* p) {
            p[0] = t[2];
            p[1] = t[1];
            p[2] = t[0];
        });
    });
}

void decodeBc3Band(std::span<const uint8_t> source, std::span<uint8_t> band, uint32_t width) {
    decodeBand<16, 4>(source, band, width, [](std::span<const uint8_t, 16> block, uint8_t* out, std::size_t rowBytes) {
        placeTexels<4>(decodeBc3Texels(block), out, rowBytes, [](const uint8_t* t, uint8_t* p) {
            p[0] = t[2];
            p[1] = t[1];
            p[2] = t[0];
            p[3] = t[3];
        });
    });
}

void decodeBc3TwoChannelBand(std::span<const uint8_t> source, std::span<uint8_t> band, uint32_t width) {
    decodeBand<16, 3>(source, band, width, [](std::span<const uint8_t, 16> block, uint8_t* out, std::size_t rowBytes) {
        placeTexels<3>(decodeBc3Texels(block), out, rowBytes, [](const uint8_t* t, uint8_t* p) {
            p[0] = 255;
            p[1] = t[3];
            p[2] = t[0];
        });
    });
}

void decodeBc5Band(std::span<const uint8_t> source, std::span<uint8_t> band, uint32_t width) {
    decodeBand<16, 3>(source, band, width, [](std::span<const uint8_t, 16> block, uint8_t* out, std::size_t rowBytes) {
        TexelBlock channels{};
        decodeAlphaBlock(block.subspan<0, 8>(), channels, 0, 4);
        decodeAlphaBlock(block.subspan<8, 8>(), channels, 1, 4);
        placeTexels<3>(channels, out, rowBytes, [](const uint8_t* t, uint8_t* p) {
            p[0] = 255;
            p[1] = t[1];
            p[2] = t[0];
        });
    });
}

void copyBlock8Band(std::span<const uint8_t> source, std::span<uint8_t> band, uint32_t width) {
    const std::size_t bandBytes = std::size_t{width} * 16;
    requireDestination(band, bandBytes);
    const std::size_t stored = std::size_t{width} * 4;
    const std::size_t copied = std::min(stored, source.size());
    if (copied != 0) std::memcpy(band.data(), source.data(), copied);
    if (bandBytes != copied) std::memset(band.data() + copied, 0, bandBytes - copied);
}

}  // namespace lumenpull
