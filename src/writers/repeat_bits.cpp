#include "writers/repeat_bits.h"

#include "decode/simd_support.h"

#if LUMENPULL_SSSE3_DISPATCH
#include <emmintrin.h>
#include <tmmintrin.h>
#endif

namespace lumenpull::repeat_detail {

#if LUMENPULL_SSSE3_DISPATCH
namespace {

inline __m128i load128(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }

// The repeat bits of the 16 three-byte pixels from `p`. Four pixels at a
// time, the bytes equal to those three back are gathered by a shuffle into
// one 32-bit lane per pixel (its third byte twice), a lane all ones is a
// repeat, and the lanes are packed down to one byte per pixel in order: no
// bit-by-bit gathering of every third bit. Each load ends four bytes before
// the next four pixels, so nothing past the sixteenth pixel is read.
LUMENPULL_TARGET_SSSE3 uint64_t repeats16Ssse3(const uint8_t* p) {
    const __m128i lanes = _mm_setr_epi8(4, 5, 6, 6, 7, 8, 9, 9, 10, 11, 12, 12, 13, 14, 15, 15);
    const __m128i ones = _mm_set1_epi32(-1);
    __m128i four[4];
    for (int k = 0; k < 4; ++k) {
        const uint8_t* q = p + 12 * k - 4;
        const __m128i same = _mm_cmpeq_epi8(load128(q), load128(q - 3));
        four[k] = _mm_cmpeq_epi32(_mm_shuffle_epi8(same, lanes), ones);
    }
    const __m128i bytes = _mm_packs_epi16(_mm_packs_epi32(four[0], four[1]), _mm_packs_epi32(four[2], four[3]));
    return static_cast<uint32_t>(_mm_movemask_epi8(bytes));
}

}  // namespace

LUMENPULL_TARGET_SSSE3 void repeatWords3Ssse3(const uint8_t* data, std::size_t first, std::size_t last,
                                              uint64_t* words) {
    for (std::size_t w = first; w < last; ++w) {
        const uint8_t* p = data + w * 64 * 3;
        words[w] = repeats16Ssse3(p) | repeats16Ssse3(p + 48) << 16 | repeats16Ssse3(p + 96) << 32 |
                   repeats16Ssse3(p + 144) << 48;
    }
}
#endif

}  // namespace lumenpull::repeat_detail
