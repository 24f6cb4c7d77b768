#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace lumenpull {

// One bit per pixel of a buffer: set when the pixel equals the one before
// it. The run-length encoders find every packet from these bits a word at a
// time, where comparing pixel values would take a step (and, on short runs,
// a mispredicted branch) per pixel.
template <std::size_t Bytes>
class RepeatBits {
public:
    RepeatBits(const uint8_t* data, std::size_t count) : count_(count), words_(count / 64 + 3, 0) {
        for (std::size_t w = 0; w * 64 < count; ++w) words_[w] = wordAt(data, w * 64);
    }

    std::size_t size() const { return count_; }

    // The first r in [from, to) where a run of minRun equal pixels begins, or
    // `to` when there is none.
    template <std::size_t MinRun>
    std::size_t firstRun(std::size_t from, std::size_t to) const {
        for (std::size_t r = from; r < to; r += 64) {
            // Bit k: pixels r + k .. r + k + MinRun - 1 are equal, that is
            // the repeat bits r + k + 1 .. r + k + MinRun - 1 are all set.
            uint64_t starts = window(r + 1);
            for (std::size_t m = 2; m < MinRun; ++m) starts &= window(r + m);
            if (starts != 0) return std::min(r + static_cast<std::size_t>(std::countr_zero(starts)), to);
        }
        return to;
    }

    // The first j in [from, to) whose pixel differs from the one before it,
    // or `to`: where a run that has reached `from` ends.
    std::size_t runEnd(std::size_t from, std::size_t to) const {
        for (std::size_t j = from; j < to; j += 64) {
            const uint64_t differing = ~window(j);
            if (differing != 0) return std::min(j + static_cast<std::size_t>(std::countr_zero(differing)), to);
        }
        return to;
    }

private:
    // Bits `position` .. position + 63; bits past the buffer are clear.
    // Searches never start more than a word past the buffer, and two clear
    // words follow its last one, so no bounds test is needed; the double
    // shift keeps a shift of 0 defined without a branch.
    uint64_t window(std::size_t position) const {
        const std::size_t w = position / 64;
        const unsigned shift = position % 64;
        return words_[w] >> shift | (words_[w + 1] << 1) << (63 - shift);
    }

    // The repeat bits of pixels base .. base + 63 (pixel 0 repeats nothing).
    static uint64_t wordAt(const uint8_t* data, std::size_t base, std::size_t count);
    uint64_t wordAt(const uint8_t* data, std::size_t base) const { return wordAt(data, base, count_); }

    std::size_t count_;
    std::vector<uint64_t> words_;
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
    // Sixteen pixels at a time while sixteen whole pixels remain.
    for (; j + 16 <= end; j += 16) bits |= repeat_detail::repeats16<Bytes>(data + j * Bytes) << (j - base);
#endif
    for (; j < end; ++j) bits |= uint64_t{repeat_detail::repeats<Bytes>(data, j)} << (j - base);
    return bits;
}

// Splits a buffer into packets by the rule the TGA and Radiance formats
// define step by step: from `start`, the pixels before the first run of at
// least MinRun equal pixels form a raw packet, and the run (up to MaxPacket
// pixels) a run packet; with no such run beginning within MaxPacket pixels,
// MaxPacket pixels (or what is left) are raw. A run that would begin just
// at the raw packet's limit begins the next packet instead, which gives the
// same packets. Calls sink.raw(first, count) and sink.run(first, count) in
// order.
template <std::size_t MaxPacket, std::size_t MinRun, std::size_t Bytes, typename Sink>
void forEachPacket(const RepeatBits<Bytes>& bits, Sink& sink) {
    const std::size_t n = bits.size();
    std::size_t i = 0;
    while (i < n) {
        const std::size_t limit = std::min(i + MaxPacket, n);
        const std::size_t run = bits.template firstRun<MinRun>(i, limit);
        if (run > i) sink.raw(i, run - i);
        if (run == limit) {
            i = limit;
            continue;
        }
        const std::size_t end = bits.runEnd(run + MinRun, std::min(run + MaxPacket, n));
        sink.run(run, end - run);
        i = end;
    }
}

}  // namespace lumenpull
