#include "decode/bc_bands.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "bytes/little_endian.h"
#include "decode/rgb565.h"
#include "decode/simd_support.h"
#include "pixels/source_bytes.h"

#if LUMENPULL_SSSE3_DISPATCH
#include <tmmintrin.h>
#endif

namespace lumenpull {

// The band routines are the hot loop of every block-format texture. They
// decode straight into the band: each block's palette is built once as packed
// pixels and every block row is stored with a few word writes, instead of
// going through a 16-texel block and per-byte copies. They compute exactly
// what the tests' per-block decoders define (same truncating interpolations,
// same three-colour rule), which they check on random blocks.
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
            for (unsigned c = 0; c < 3; ++c)
                s.control[b][3 * k + c] = static_cast<uint8_t>(4 * ((b >> (2 * k)) & 3) + c);
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

// The eight values of a channel block with endpoints a0, a1 in 16-bit lanes,
// both rules computed and the block's chosen without a branch. Dividing by
// 7 and 5 is a multiplication by 9363 / 65536 and 13108 / 65536: for the
// largest sums (7 × 255 and 5 × 255) the excess stays below 0.02, less than
// the distance of any fraction of 7ths or 5ths from the next whole number.
LUMENPULL_TARGET_SSSE3 inline __m128i channelValues(uint32_t a0, uint32_t a1) {
    const __m128i v0 = _mm_set1_epi16(static_cast<short>(a0));
    const __m128i v1 = _mm_set1_epi16(static_cast<short>(a1));
    const auto weighted = [&](__m128i w0, __m128i w1, short reciprocal) {
        const __m128i sum = _mm_add_epi16(_mm_mullo_epi16(v0, w0), _mm_mullo_epi16(v1, w1));
        return _mm_mulhi_epu16(sum, _mm_set1_epi16(reciprocal));
    };
    const __m128i sevenths =
        weighted(_mm_setr_epi16(7, 0, 6, 5, 4, 3, 2, 1), _mm_setr_epi16(0, 7, 1, 2, 3, 4, 5, 6), 9363);
    const __m128i fifths =
        _mm_or_si128(weighted(_mm_setr_epi16(5, 0, 4, 3, 2, 1, 0, 0), _mm_setr_epi16(0, 5, 1, 2, 3, 4, 0, 0), 13108),
                     _mm_setr_epi16(0, 0, 0, 0, 0, 0, 0, 255));
    const __m128i useSevenths = _mm_set1_epi16(static_cast<short>(a0 > a1 ? -1 : 0));
    return _mm_or_si128(_mm_and_si128(useSevenths, sevenths), _mm_andnot_si128(useSevenths, fifths));
}

// Eight 3-bit codes (the low 24 bits) as eight bytes, code k in byte k.
inline uint64_t spreadCodes(uint64_t x) {
    x &= 0xFFFFFF;
    x = (x & 0xFFF) | (x & 0xFFF000) << 20;
    x = (x & 0x0000003F0000003Full) | (x & 0x00000FC000000FC0ull) << 10;
    x = (x & 0x0007000700070007ull) | (x & 0x0038003800380038ull) << 5;
    return x;
}

// The sixteen codes of a channel block (its bytes 2 to 7), one a byte.
LUMENPULL_TARGET_SSSE3 inline __m128i channelCodes(const uint8_t* block) {
    uint64_t word;
    std::memcpy(&word, block, 8);
    const uint64_t codes = word >> 16;
    return _mm_set_epi64x(static_cast<long long>(spreadCodes(codes >> 24)), static_cast<long long>(spreadCodes(codes)));
}

// For a block row of BC5 pixels from eight (second, first) byte pairs: the
// pairs of the first four texels (half 0) or the last four (half 1) spread to
// 255, second, first; then 4 bytes of zeros.
struct PairShuffles {
    alignas(16) uint8_t control[2][16];
};

constexpr PairShuffles makePairShuffles() {
    PairShuffles s{};
    for (unsigned half = 0; half < 2; ++half) {
        for (unsigned j = 0; j < 4; ++j) {
            s.control[half][3 * j] = 0x80;
            s.control[half][3 * j + 1] = static_cast<uint8_t>(8 * half + 2 * j);
            s.control[half][3 * j + 2] = static_cast<uint8_t>(8 * half + 2 * j + 1);
        }
        for (unsigned j = 12; j < 16; ++j) s.control[half][j] = 0x80;
    }
    return s;
}

constexpr PairShuffles pairShuffles = makePairShuffles();

// Whole BC5 blocks: both channels decoded sixteen texels at a time, and each
// block row made by one shuffle. As for BC1, every block but the last stores
// 16 bytes a row, 4 of them where the next block's row goes.
LUMENPULL_TARGET_SSSE3 void decodeBc5BlocksSsse3(const uint8_t* in, std::size_t count, uint8_t* out,
                                                 std::size_t rowBytes) {
    const __m128i lowHalf = _mm_load_si128(reinterpret_cast<const __m128i*>(pairShuffles.control[0]));
    const __m128i highHalf = _mm_load_si128(reinterpret_cast<const __m128i*>(pairShuffles.control[1]));
    const __m128i opaque = _mm_setr_epi8(-1, 0, 0, -1, 0, 0, -1, 0, 0, -1, 0, 0, 0, 0, 0, 0);
    for (std::size_t i = 0; i < count; ++i) {
        const uint8_t* block = in + 16 * i;
        // The first block's values in bytes 0 to 7, the second's in 8 to 15.
        const __m128i values = _mm_packus_epi16(channelValues(block[0], block[1]), channelValues(block[8], block[9]));
        const __m128i first = _mm_shuffle_epi8(values, channelCodes(block));
        const __m128i second = _mm_shuffle_epi8(values, _mm_add_epi8(channelCodes(block + 8), _mm_set1_epi8(8)));
        const __m128i pairs[2] = {_mm_unpacklo_epi8(second, first), _mm_unpackhi_epi8(second, first)};
        uint8_t* blockOut = out + 12 * i;
        for (unsigned y = 0; y < 4; ++y) {
            const __m128i row = _mm_or_si128(_mm_shuffle_epi8(pairs[y / 2], y % 2 == 0 ? lowHalf : highHalf), opaque);
            uint8_t* rowOut = blockOut + y * rowBytes;
            if (i + 1 < count) {
                _mm_storeu_si128(reinterpret_cast<__m128i*>(rowOut), row);
            } else {
                _mm_storel_epi64(reinterpret_cast<__m128i*>(rowOut), row);
                store32(rowOut + 8, static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(row, 8))));
            }
        }
    }
}

// Shuffles for a block row of BC3 pixels: for every byte of four 2-bit colour
// indices, the blue, green and red of the four pixels from a palette in a
// register (entry k in bytes 4k to 4k + 2), alpha left zero; and for row y,
// the alpha of its four texels (bytes 4y to 4y + 3 of the texels) into the
// fourth byte of each pixel.
struct Bc3Shuffles {
    alignas(16) uint8_t colour[256][16];
    alignas(16) uint8_t alpha[4][16];
};

constexpr Bc3Shuffles makeBc3Shuffles() {
    Bc3Shuffles s{};
    for (unsigned b = 0; b < 256; ++b) {
        for (unsigned k = 0; k < 4; ++k) {
            for (unsigned c = 0; c < 3; ++c)
                s.colour[b][4 * k + c] = static_cast<uint8_t>(4 * ((b >> (2 * k)) & 3) + c);
            s.colour[b][4 * k + 3] = 0x80;
        }
    }
    for (unsigned y = 0; y < 4; ++y) {
        for (unsigned j = 0; j < 16; ++j) s.alpha[y][j] = j % 4 == 3 ? static_cast<uint8_t>(4 * y + j / 4) : 0x80;
    }
    return s;
}

constexpr Bc3Shuffles bc3Shuffles = makeBc3Shuffles();

// Whole BC3 blocks: the alpha block's sixteen texels by one shuffle, each
// block row by a shuffle of the colour palette and one of those texels.
LUMENPULL_TARGET_SSSE3 void decodeBc3BlocksSsse3(const uint8_t* in, std::size_t count, uint8_t* out,
                                                 std::size_t rowBytes) {
    const auto load = [](const uint8_t* control) { return _mm_load_si128(reinterpret_cast<const __m128i*>(control)); };
    for (std::size_t i = 0; i < count; ++i) {
        const uint8_t* block = in + 16 * i;
        const __m128i alphaValues = _mm_packus_epi16(channelValues(block[0], block[1]), _mm_setzero_si128());
        const __m128i alpha = _mm_shuffle_epi8(alphaValues, channelCodes(block));
        const ColourPalette colour = colourPalette(block + 8);
        const __m128i palette = _mm_loadu_si128(reinterpret_cast<const __m128i*>(colour.entry));
        uint8_t* blockOut = out + 16 * i;
        for (unsigned y = 0; y < 4; ++y) {
            const __m128i pixels = _mm_or_si128(_mm_shuffle_epi8(palette, load(bc3Shuffles.colour[block[12 + y]])),
                                                _mm_shuffle_epi8(alpha, load(bc3Shuffles.alpha[y])));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(blockOut + y * rowBytes), pixels);
        }
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

namespace {

void decodeBc3Block(const uint8_t* block, uint8_t* out, std::size_t rowBytes) {
    const ChannelPalette alpha = channelPalette(block, 24);
    const ColourPalette colour = colourPalette(block + 8);
    const uint32_t indices = loadLittleEndian32(block + 12);
    storeBlock<4>(out, rowBytes, [&](unsigned k) {
        return colour.entry[(indices >> (2 * k)) & 3] | alpha.value[(alpha.codes >> (3 * k)) & 7];
    });
}

}  // namespace

void decodeBc3Band(std::span<const uint8_t> source, std::span<uint8_t> band, uint32_t width) {
#if LUMENPULL_SSSE3_DISPATCH
    if (cpuHasSsse3()) {
        decodeBand<16, 4>(source, band, width, decodeBc3Block, decodeBc3BlocksSsse3);
        return;
    }
#endif
    baseline::decodeBc3Band(source, band, width);
}

namespace baseline {

void decodeBc3Band(std::span<const uint8_t> source, std::span<uint8_t> band, uint32_t width) {
    decodeBand<16, 4>(source, band, width, decodeBc3Block);
}

}  // namespace baseline

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

namespace {

void decodeBc5Block(const uint8_t* block, uint8_t* out, std::size_t rowBytes) {
    const ChannelPalette first = channelPalette(block, 16);
    const ChannelPalette second = channelPalette(block + 8, 8);
    // 255, second channel, first channel.
    storeBlock<3>(out, rowBytes, [&](unsigned k) {
        return 0xFFu | second.value[(second.codes >> (3 * k)) & 7] | first.value[(first.codes >> (3 * k)) & 7];
    });
}

}  // namespace

void decodeBc5Band(std::span<const uint8_t> source, std::span<uint8_t> band, uint32_t width) {
#if LUMENPULL_SSSE3_DISPATCH
    if (cpuHasSsse3()) {
        decodeBand<16, 3>(source, band, width, decodeBc5Block, decodeBc5BlocksSsse3);
        return;
    }
#endif
    baseline::decodeBc5Band(source, band, width);
}

namespace baseline {

void decodeBc5Band(std::span<const uint8_t> source, std::span<uint8_t> band, uint32_t width) {
    decodeBand<16, 3>(source, band, width, decodeBc5Block);
}

}  // namespace baseline

void copyBlock8Band(std::span<const uint8_t> source, std::span<uint8_t> band, uint32_t width) {
    const std::size_t bandBytes = std::size_t{width} * 16;
    requireDestination(band, bandBytes);
    const std::size_t stored = std::size_t{width} * 4;
    const std::size_t copied = std::min(stored, source.size());
    if (copied != 0) std::memcpy(band.data(), source.data(), copied);
    if (bandBytes != copied) std::memset(band.data() + copied, 0, bandBytes - copied);
}

}  // namespace lumenpull
