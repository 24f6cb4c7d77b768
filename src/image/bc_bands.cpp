#include "image/bc_bands.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "bytes/little_endian.h"
#include "image/rgb565.h"
#include "image/simd_support.h"
#include "image/source_bytes.h"

#if LUMENPULL_SSSE3_DISPATCH
#include <tmmintrin.h>
#endif

namespace lumenpull {

// The band routines are the hot loop of every block-format texture. They
// decode straight into the band: each block's palette is built once as packed
// pixels and every block row is stored with a few word writes, instead of
// going through a 16-texel block and per-byte copies. They compute exactly
// what decodeColourBlock and decodeAlphaBlock define (same truncating
// interpolations, same three-colour rule), which the tests check against
// those routines on random blocks.
static_assert(std::endian::native == std::endian::little, "packed pixels assume a little-endian host");

namespace {

void store32(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }

// The colour palette of an 8-byte colour block as pixels 0x00RRGGBB (bytes
// blue, green, red, 0 in memory). Index 3 of the three-colour mode is black.
struct ColourPalette {
    uint32_t entry[4];
};

[[gnu::always_inline]] inline ColourPalette colourPalette(const uint8_t* block) {
    const uint32_t c0 = loadLittleEndian16(block);
    const uint32_t c1 = loadLittleEndian16(block + 2);
    const auto [r0, g0, b0] = expand565(c0);
    const auto [r1, g1, b1] = expand565(c1);
    const auto pack = [](uint32_t r, uint32_t g, uint32_t b) { return b | (g << 8) | (r << 16); };
    ColourPalette p;
    p.entry[0] = pack(r0, g0, b0);
    p.entry[1] = pack(r1, g1, b1);
    if (c0 > c1) {
        p.entry[2] = pack((2 * r0 + r1) / 3, (2 * g0 + g1) / 3, (2 * b0 + b1) / 3);
        p.entry[3] = pack((r0 + 2 * r1) / 3, (g0 + 2 * g1) / 3, (b0 + 2 * b1) / 3);
    } else {
        p.entry[2] = pack((r0 + r1) / 2, (g0 + g1) / 2, (b0 + b1) / 2);
        p.entry[3] = 0;
    }
    return p;
}

// The eight values of a single-channel (alpha-style) block, already shifted
// to their byte of the output pixel, and its sixteen 3-bit codes.
struct ChannelPalette {
    uint32_t value[8];
    uint64_t codes;
};

[[gnu::always_inline]] inline ChannelPalette channelPalette(const uint8_t* block, unsigned shift) {
    const uint32_t a0 = block[0];
    const uint32_t a1 = block[1];
    ChannelPalette p;
    p.value[0] = a0;
    p.value[1] = a1;
    if (a0 > a1) {
        p.value[2] = (6 * a0 + a1) / 7;
        p.value[3] = (5 * a0 + 2 * a1) / 7;
        p.value[4] = (4 * a0 + 3 * a1) / 7;
        p.value[5] = (3 * a0 + 4 * a1) / 7;
        p.value[6] = (2 * a0 + 5 * a1) / 7;
        p.value[7] = (a0 + 6 * a1) / 7;
    } else {
        p.value[2] = (4 * a0 + a1) / 5;
        p.value[3] = (3 * a0 + 2 * a1) / 5;
        p.value[4] = (2 * a0 + 3 * a1) / 5;
        p.value[5] = (a0 + 4 * a1) / 5;
        p.value[6] = 0;
        p.value[7] = 255;
    }
    for (uint32_t& v : p.value) v <<= shift;
    uint64_t word;
    std::memcpy(&word, block, 8);
    p.codes = word >> 16;
    return p;
}

// Four pixels of 3 bytes each (the low three bytes of each word) as 12 bytes.
void storeFour24(uint8_t* out, uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
    store32(out, (a & 0xFFFFFF) | (b << 24));
    store32(out + 4, ((b >> 8) & 0xFFFF) | (c << 16));
    store32(out + 8, ((c >> 16) & 0xFF) | (d << 8));
}

// The pixel of texel k of a block, as a packed word; Pixel(k) for k in 0..15.
template <std::size_t Out, typename Pixel>
[[gnu::always_inline]] inline void storeBlock(uint8_t* blockOut, std::size_t rowBytes, Pixel pixel) {
    for (unsigned y = 0; y < 4; ++y) {
        uint8_t* out = blockOut + y * rowBytes;
        const unsigned k = 4 * y;
        if constexpr (Out == 4) {
            store32(out, pixel(k));
            store32(out + 4, pixel(k + 1));
            store32(out + 8, pixel(k + 2));
            store32(out + 12, pixel(k + 3));
        } else {
            storeFour24(out, pixel(k), pixel(k + 1), pixel(k + 2), pixel(k + 3));
        }
    }
}

// Runs decodeBlock(block bytes, first output byte of the block, band row
// stride) over the width / 4 blocks of a band; the blocks the source holds
// whole go to decodeWhole(first block, block count, band, row stride) at
// once, blocks it holds only in part are decoded from a zero-padded copy, and
// the columns that no block covers are zeroed.
template <std::size_t BlockBytes, std::size_t Out, typename DecodeBlock, typename DecodeWhole>
void decodeBand(std::span<const uint8_t> source, std::span<uint8_t> band, uint32_t width, DecodeBlock decodeBlock,
                DecodeWhole decodeWhole) {
    const std::size_t rowBytes = std::size_t{width} * Out;
    requireDestination(band, 4 * rowBytes);
    const std::size_t blocks = width / 4;
    const std::size_t whole = std::min(blocks, source.size() / BlockBytes);
    uint8_t* out = band.data();
    if (whole != 0) decodeWhole(source.data(), whole, out, rowBytes);
    for (std::size_t i = whole; i < blocks; ++i) {
        const auto padded = loadPadded<BlockBytes>(source, i * BlockBytes);
        decodeBlock(padded.data(), out + i * 4 * Out, rowBytes);
    }
    // A band of width 0 may have no buffer at all: nothing to clear then.
    const std::size_t covered = blocks * 4 * Out;
    if (covered == rowBytes) return;
    for (std::size_t y = 0; y < 4; ++y) std::memset(out + y * rowBytes + covered, 0, rowBytes - covered);
}

// The same, with the whole blocks decoded one by one too.
template <std::size_t BlockBytes, std::size_t Out, typename DecodeBlock>
void decodeBand(std::span<const uint8_t> source, std::span<uint8_t> band, uint32_t width, DecodeBlock decodeBlock) {
    decodeBand<BlockBytes, Out>(source, band, width, decodeBlock,
                                [&](const uint8_t* in, std::size_t count, uint8_t* out, std::size_t rowBytes) {
                                    for (std::size_t i = 0; i < count; ++i) {
                                        decodeBlock(in + i * BlockBytes, out + i * 4 * Out, rowBytes);
                                    }
                                });
}

void decodeBc1Block(const uint8_t* block, uint8_t* out, std::size_t rowBytes) {
    const ColourPalette colour = colourPalette(block);
    const uint32_t indices = loadLittleEndian32(block + 4);
    storeBlock<3>(out, rowBytes, [&](unsigned k) { return colour.entry[(indices >> (2 * k)) & 3]; });
}

#if LUMENPULL_SSSE3_DISPATCH
// Byte shuffles that make a block row of BC1 pixels from its palette in a
// register (entry k in bytes 4k to 4k + 2): for every byte of four 2-bit
// indices, the 12 bytes blue, green, red of the four pixels, then 4 zeros.
struct RowShuffles {
    alignas(16) uint8_t control[256][16];
};

constexpr RowShuffles makeRowShuffles() {
    RowShuffles s{};
    for (unsigned b = 0; b < 256; ++b) {
        for (unsigned k = 0; k < 4; ++k) {
            for (unsigned c = 0; c < 3; ++c) s.control[b][3 * k + c] = static_cast<uint8_t>(4 * ((b >> (2 * k)) & 3) + c);
        }
        for (unsigned j = 12; j < 16; ++j) s.control[b][j] = 0x80;
    }
    return s;
}

constexpr RowShuffles rowShuffles = makeRowShuffles();

// A block row (12 bytes) of BC1 pixels: its palette shuffled by the row's indices.
LUMENPULL_TARGET_SSSE3 inline __m128i bc1Row(__m128i palette, uint8_t rowIndices) {
    return _mm_shuffle_epi8(palette, _mm_load_si128(reinterpret_cast<const __m128i*>(rowShuffles.control[rowIndices])));
}

// Whole BC1 blocks, four rows of one shuffle each. Every block but the last
// stores 16 bytes a row; the 4 bytes too many land where the next block's
// row goes, which the next block then writes.
LUMENPULL_TARGET_SSSE3 void decodeBc1BlocksSsse3(const uint8_t* in, std::size_t count, uint8_t* out,
                                                 std::size_t rowBytes) {
    const auto paletteOf = [](const uint8_t* block) {
        const ColourPalette colour = colourPalette(block);
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(colour.entry));
    };
    for (std::size_t i = 0; i + 1 < count; ++i) {
        const uint8_t* block = in + 8 * i;
        const __m128i palette = paletteOf(block);
        uint8_t* blockOut = out + 12 * i;
        for (unsigned y = 0; y < 4; ++y) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(blockOut + y * rowBytes), bc1Row(palette, block[4 + y]));
        }
    }
    const uint8_t* block = in + 8 * (count - 1);
    const __m128i palette = paletteOf(block);
    uint8_t* blockOut = out + 12 * (count - 1);
    for (unsigned y = 0; y < 4; ++y) {
        const __m128i row = bc1Row(palette, block[4 + y]);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(blockOut + y * rowBytes), row);
        store32(blockOut + y * rowBytes + 8, static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(row, 8))));
    }
}
#endif

}  // namespace

void decodeBc1Band(std::span<const uint8_t> source, std::span<uint8_t> band, uint32_t width) {
#if LUMENPULL_SSSE3_DISPATCH
    if (cpuHasSsse3()) {
        decodeBand<8, 3>(source, band, width, decodeBc1Block, decodeBc1BlocksSsse3);
        return;
    }
#endif
    baseline::decodeBc1Band(source, band, width);
}

namespace baseline {

void decodeBc1Band(std::span<const uint8_t> source, std::span<uint8_t> band, uint32_t width) {
    decodeBand<8, 3>(source, band, width, decodeBc1Block);
}

}  // namespace baseline

void decodeBc3Band(std::span<const uint8_t> source, std::span<uint8_t> band, uint32_t width) {
    decodeBand<16, 4>(source, band, width, [](const uint8_t* block, uint8_t* out, std::size_t rowBytes) {
        const ChannelPalette alpha = channelPalette(block, 24);
        const ColourPalette colour = colourPalette(block + 8);
        const uint32_t indices = loadLittleEndian32(block + 12);
        storeBlock<4>(out, rowBytes, [&](unsigned k) {
            return colour.entry[(indices >> (2 * k)) & 3] | alpha.value[(alpha.codes >> (3 * k)) & 7];
        });
    });
}

void decodeBc3TwoChannelBand(std::span<const uint8_t> source, std::span<uint8_t> band, uint32_t width) {
    decodeBand<16, 3>(source, band, width, [](const uint8_t* block, uint8_t* out, std::size_t rowBytes) {
        const ChannelPalette alpha = channelPalette(block, 8);
        const ColourPalette colour = colourPalette(block + 8);
        const uint32_t indices = loadLittleEndian32(block + 12);
        // 255, alpha, red: the decoded red sits in bits 16-23 of a palette entry.
        storeBlock<3>(out, rowBytes, [&](unsigned k) {
            return 0xFFu | alpha.value[(alpha.codes >> (3 * k)) & 7] |
                   (colour.entry[(indices >> (2 * k)) & 3] & 0xFF0000);
        });
    });
}

void decodeBc5Band(std::span<const uint8_t> source, std::span<uint8_t> band, uint32_t width) {
    decodeBand<16, 3>(source, band, width, [](const uint8_t* block, uint8_t* out, std::size_t rowBytes) {
        const ChannelPalette first = channelPalette(block, 16);
        const ChannelPalette second = channelPalette(block + 8, 8);
        // 255, second channel, first channel.
        storeBlock<3>(out, rowBytes, [&](unsigned k) {
            return 0xFFu | second.value[(second.codes >> (3 * k)) & 7] | first.value[(first.codes >> (3 * k)) & 7];
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
