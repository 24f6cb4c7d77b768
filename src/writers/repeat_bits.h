#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "decode/simd_support.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace lumenpull {

namespace repeat_detail {

#if LUMENPULL_SSSE3_DISPATCH
// Sets words[first .. last - 1] to the repeat bits of the three-byte pixels
// of those words; the first must be 1 or more (the pixel before each word is read).
void repeatWords3Ssse3(const uint8_t* data, std::size_t first, std::size_t last, uint64_t* words);
#endif

}  // namespace repeat_detail

// One bit per pixel of a buffer: set when the pixel equals the one before
// it in the same row. The run-length encoders take every packet from the
// blocks of equal pixels these bits outline, found a word at a time, where
// comparing pixel values would take a step (and, on short runs, a
// mispredicted branch) per pixel. The buffer holds rows of rowPixels pixels
// (the last may be shorter; 0 means one row of all the pixels): the first
// pixel of a row repeats nothing, so no block reaches from one row into the
// next.
template <std::size_t Bytes>
class RepeatBits {
public:
    RepeatBits(const uint8_t* data, std::size_t count, std::size_t rowPixels = 0)
        : count_(count),
          rowPixels_(rowPixels != 0 ? rowPixels : std::max<std::size_t>(count, 1)),
          words_(count / 64 + 2, 0) {
        std::size_t w = 0;
#if LUMENPULL_SSSE3_DISPATCH
        // Three-byte pixels have a cheaper way with a byte shuffle, for the
        // whole words after the first.
        if constexpr (Bytes == 3) {
            if (count >= 128 && cpuHasSsse3()) {
                words_[0] = wordAt(data, 0);
                w = count / 64;
                repeat_detail::repeatWords3Ssse3(data, 1, w, words_.data());
            }
        }
#endif
        for (; w * 64 < count; ++w) words_[w] = wordAt(data, w * 64);
        for (std::size_t rowStart = rowPixels_; rowStart < count; rowStart += rowPixels_) {
            words_[rowStart / 64] &= ~(uint64_t{1} << (rowStart % 64));
        }
    }

    std::size_t size() const { return count_; }
    std::size_t rowPixels() const { return rowPixels_; }

    // Calls visit(a, b) for every block [a, b) of MinBlock or more equal
    // pixels that cannot grow (pixel a - 1 and pixel b differ from them), in
    // order. Shorter blocks are dropped a word at a time, before any is visited.
    // Always inlined into the caller, so that what `visit` updates (a packet
    // writer's output pointer, say) can stay in registers: out of line, it
    // is reached through a pointer and reloaded after every byte stored.
    // Blocks after the first of those ending in a word of 64 pixels go to
    // visitInWord instead: such a block lies within that word (at most 64
    // pixels) and begins at most 64 pixels after the end of the one before.
    template <std::size_t MinBlock, typename Visit, typename VisitInWord>
    [[gnu::always_inline]] inline void forEachBlock(Visit visit, VisitInWord visitInWord) const {
        static_assert(MinBlock >= 2 && MinBlock <= 65);
        // A block is a stretch of set bits: it begins one pixel before its
        // first set bit and ends after its last. Begins and ends alternate,
        // so each end a word holds pairs with the begin before it: one
        // carried from an earlier word while a block is open, else the
        // word's next own. They are taken straight from the words, a lowest
        // set bit at a time, with nothing listed in between.
        const std::size_t usedWords = (count_ + 63) / 64;
        uint64_t previousTop = 0;     // the last bit of the word before
        uint64_t previousStarts = 0;  // where long stretches start in the word before
        std::size_t begin = 0;        // of the open block
        bool open = false;
        for (std::size_t w = 0; w < usedWords; ++w) {
            const uint64_t bits = words_[w];
            const uint64_t next = words_[w + 1];
            // A block of n pixels is a stretch of n - 1 set bits. A bit of a
            // kept stretch has its neighbours in that stretch exactly when
            // they are set, so the stretch's first and last bits are found
            // from the plain bits around it.
            uint64_t kept = bits;
            if constexpr (MinBlock > 2) kept = longStretches<MinBlock - 1>(bits, next, previousStarts);
            uint64_t rising = kept & ~(bits << 1 | previousTop);
            uint64_t falling = kept & ~(bits >> 1 | next << 63);
            previousTop = bits >> 63;
            // (Pixel 0 never repeats, so no begin lies before it.)
            const std::size_t base = w * 64;
            if (falling != 0) {
                if (!open) begin = base - 1 + popLowest(rising);
                visit(begin, base + 1 + popLowest(falling));
                while (falling != 0) {
                    begin = base - 1 + popLowest(rising);
                    visitInWord(begin, base + 1 + popLowest(falling));
                }
                open = false;
            }
            // At most one begin is left: a block running into the next word.
            if (rising != 0) {
                begin = base - 1 + popLowest(rising);
                open = true;
            }
        }
    }

private:
    // The set bits of `bits` that lie in stretches of at least K set bits,
    // `next` being the word after. `starts` holds, from the word before, the
    // bits where K set bits in a row begin, and gets this word's.
    template <std::size_t K>
    static uint64_t longStretches(uint64_t bits, uint64_t next, uint64_t& starts) {
        uint64_t here = bits;
        for (std::size_t j = 1; j < K; ++j) here &= bits >> j | next << (64 - j);
        uint64_t kept = here;
        for (std::size_t j = 1; j < K; ++j) kept |= here << j | starts >> (64 - j);
        starts = here;
        return kept;
    }

    // Clears the lowest set bit of a nonzero word and returns its position.
    // (std::countr_zero also answers for zero, which costs a test and a
    // branch per call where the target has no trailing-zero count, as
    // baseline x86-64 has not.)
    static std::size_t popLowest(uint64_t& nonzero) {
#if defined(__GNUC__)
        const auto position = static_cast<std::size_t>(__builtin_ctzll(nonzero));
#else
        const auto position = static_cast<std::size_t>(std::countr_zero(nonzero));
#endif
        nonzero &= nonzero - 1;
        return position;
    }

    // The repeat bits of pixels base .. base + 63 (pixel 0 repeats nothing).
    static uint64_t wordAt(const uint8_t* data, std::size_t base, std::size_t count);
    uint64_t wordAt(const uint8_t* data, std::size_t base) const { return wordAt(data, base, count_); }

    std::size_t count_;
    std::size_t rowPixels_;
    std::vector<uint64_t> words_;  // and one clear word after the last used
};

namespace repeat_detail {

// Whether pixel j equals pixel j - 1 (j >= 1), byte by byte.
template <std::size_t Bytes>
bool repeats(const uint8_t* data, std::size_t j) {
    return std::memcmp(data + j * Bytes, data + (j - 1) * Bytes, Bytes) == 0;
}

}  // namespace repeat_detail

#if defined(__SSE2__)
namespace repeat_detail {

inline __m128i load128(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }

// One bit per byte of 16 bytes from `p`: set where it equals the byte
// `Bytes` before it.
template <std::size_t Bytes>
uint64_t equalBytes16(const uint8_t* p) {
    return static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(load128(p), load128(p - Bytes))));
}

// Bits 0, 3, 6, ... 45 of x packed into bits 0 .. 15.
inline uint64_t everyThirdBit(uint64_t x) {
    x &= 0x1249249249249249ull;
    x = (x ^ (x >> 2)) & 0x10c30c30c30c30c3ull;
    x = (x ^ (x >> 4)) & 0x100f00f00f00f00full;
    x = (x ^ (x >> 8)) & 0x1f0000ff0000ffull;
    x = (x ^ (x >> 16)) & 0x1f00000000ffffull;
    x = (x ^ (x >> 32)) & 0x1fffffull;
    return x;
}

// The repeat bits of the 16 pixels from `p` (1, 3 or 4 bytes each).
template <std::size_t Bytes>
uint64_t repeats16(const uint8_t* p) {
    if constexpr (Bytes == 1) {
        return equalBytes16<1>(p);
    } else if constexpr (Bytes == 3) {
        // A pixel repeats when its three bytes all equal those three back.
        const uint64_t m = equalBytes16<3>(p) | equalBytes16<3>(p + 16) << 16 | equalBytes16<3>(p + 32) << 32;
        return everyThirdBit(m & m >> 1 & m >> 2);
    } else {
        static_assert(Bytes == 4);
        uint64_t bits = 0;
        for (int k = 0; k < 4; ++k) {
            const __m128i same = _mm_cmpeq_epi32(load128(p + 16 * k), load128(p + 16 * k - 4));
            bits |= static_cast<uint64_t>(_mm_movemask_ps(_mm_castsi128_ps(same))) << (4 * k);
        }
        return bits;
    }
}

}  // namespace repeat_detail
#endif

template <std::size_t Bytes>
uint64_t RepeatBits<Bytes>::wordAt(const uint8_t* data, std::size_t base, std::size_t count) {
    const std::size_t end = std::min<std::size_t>(base + 64, count);
    std::size_t j = base == 0 ? 1 : base;
    uint64_t bits = 0;
#if defined(__SSE2__)
    const auto sixteen = [&](std::size_t first) {
        return repeat_detail::repeats16<Bytes>(data + first * Bytes) << (first - base);
    };
    // A whole word past the first pixel in four steps.
    if (base != 0 && end - base == 64)
        return sixteen(base) | sixteen(base + 16) | sixteen(base + 32) | sixteen(base + 48);
    // Sixteen pixels at a time while sixteen whole pixels remain; then the
    // last sixteen of the word, overlapping pixels already done (their bits
    // come out the same), rather than the rest one by one.
    const std::size_t start = j;
    for (; j + 16 <= end; j += 16) bits |= sixteen(j);
    if (j < end && end - start >= 16) {
        bits |= sixteen(end - 16);
        j = end;
    }
#endif
    for (; j < end; ++j) bits |= uint64_t{repeat_detail::repeats<Bytes>(data, j)} << (j - base);
    return bits;
}

}  // namespace lumenpull
