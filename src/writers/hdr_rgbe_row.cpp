#include "writers/hdr_rgbe_row.h"

#include <algorithm>
#include <stdexcept>

#include "writers/rgbe.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace lumenpull {

#if defined(__SSE2__)
namespace {

// Four stored pixels from `p` as RGBE words into `out`: the operations of
// the decoder and of rgbeWord in the same order, two pixels to a register,
// so the same doubles and bytes. Stored channel values are at most 9 bits
// and scales positive and finite, so every decoded value is a finite
// non-negative double (never -0 or NaN) below 2^17; no mantissa value can
// be negative; and a pixel's largest value less 2^-31 is a normal double
// unless it is zero (the smallest non-zero decoded value is about 2^-24).
// Returns false, nothing written, when that zero turns up.
template <bool SharedExponent>
[[gnu::always_inline]] inline bool rgbeQuad(const uint8_t* p, const double* scale, uint8_t* out) {
    const __m128i stored = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    __m128i red;
    __m128i green;
    __m128i blue;
    __m128d scaleLow;
    __m128d scaleHigh;
    if constexpr (SharedExponent) {
        // A little-endian word: red in bits 0-8, green 9-17, blue 18-26, the exponent 27-31.
        const __m128i mask = _mm_set1_epi32(0x1FF);
        red = _mm_and_si128(stored, mask);
        green = _mm_and_si128(_mm_srli_epi32(stored, 9), mask);
        blue = _mm_and_si128(_mm_srli_epi32(stored, 18), mask);
        scaleLow = _mm_loadh_pd(_mm_load_sd(scale + (p[3] >> 3)), scale + (p[7] >> 3));
        scaleHigh = _mm_loadh_pd(_mm_load_sd(scale + (p[11] >> 3)), scale + (p[15] >> 3));
    } else {
        // Bytes blue, green, red, exponent.
        const __m128i mask = _mm_set1_epi32(0xFF);
        blue = _mm_and_si128(stored, mask);
        green = _mm_and_si128(_mm_srli_epi32(stored, 8), mask);
        red = _mm_and_si128(_mm_srli_epi32(stored, 16), mask);
        scaleLow = _mm_loadh_pd(_mm_load_sd(scale + p[3]), scale + p[7]);
        scaleHigh = _mm_loadh_pd(_mm_load_sd(scale + p[11]), scale + p[15]);
    }
    // The decoded values: channel value times scale, pixels 0 and 1 in the
    // low register, 2 and 3 in the high one.
    const auto decodedLow = [&](__m128i v) { return _mm_mul_pd(_mm_cvtepi32_pd(v), scaleLow); };
    const auto decodedHigh = [&](__m128i v) {
        return _mm_mul_pd(_mm_cvtepi32_pd(_mm_shuffle_epi32(v, _MM_SHUFFLE(3, 2, 3, 2))), scaleHigh);
    };
    const __m128d redLow = decodedLow(red);
    const __m128d greenLow = decodedLow(green);
    const __m128d blueLow = decodedLow(blue);
    const __m128d redHigh = decodedHigh(red);
    const __m128d greenHigh = decodedHigh(green);
    const __m128d blueHigh = decodedHigh(blue);

    // std::max({r, g, b}): with no NaN and no -0, maxpd gives the same
    // double whichever of equal values it takes.
    const __m128d offset = _mm_set1_pd(0x1p-31);
    const __m128d largestLow = _mm_sub_pd(_mm_max_pd(_mm_max_pd(redLow, greenLow), blueLow), offset);
    const __m128d largestHigh = _mm_sub_pd(_mm_max_pd(_mm_max_pd(redHigh, greenHigh), blueHigh), offset);
    // The biased exponents of the four, from the high halves of the doubles.
    const __m128i biased = _mm_and_si128(
        _mm_srli_epi32(_mm_castps_si128(_mm_shuffle_ps(_mm_castpd_ps(largestLow), _mm_castpd_ps(largestHigh),
                                                       _MM_SHUFFLE(3, 1, 3, 1))),
                       20),
        _mm_set1_epi32(0x7FF));
    if (_mm_movemask_epi8(_mm_cmpeq_epi32(biased, _mm_setzero_si128())) != 0) [[unlikely]]
        return false;
    // The factor 2^-exponent × 255 with exponent = biased - 1022, which the
    // scalar code makes as a power of two times 255: exact, so the double
    // whose top half is that of 255 (0x406FE000) with 1022 - biased added to
    // its exponent field.
    const __m128i factorTop =
        _mm_sub_epi32(_mm_set1_epi32(static_cast<int>(0x406FE000u + (1022u << 20))), _mm_slli_epi32(biased, 20));
    const __m128d factorLow = _mm_castsi128_pd(_mm_unpacklo_epi32(_mm_setzero_si128(), factorTop));
    const __m128d factorHigh = _mm_castsi128_pd(_mm_unpackhi_epi32(_mm_setzero_si128(), factorTop));
    // mantissaByte: 255 from 256 on, else the truncated value (0 to 255 here).
    const __m128d most = _mm_set1_pd(255.0);
    const auto mantissa = [&](__m128d low, __m128d high) {
        return _mm_unpacklo_epi64(_mm_cvttpd_epi32(_mm_min_pd(_mm_mul_pd(low, factorLow), most)),
                                  _mm_cvttpd_epi32(_mm_min_pd(_mm_mul_pd(high, factorHigh), most)));
    };
    // The exponent byte exponent + 128 = biased + 130, kept to its low byte by the shift.
    const __m128i exponentByte = _mm_slli_epi32(_mm_add_epi32(biased, _mm_set1_epi32(130)), 24);
    const __m128i words =
        _mm_or_si128(_mm_or_si128(mantissa(redLow, redHigh), _mm_slli_epi32(mantissa(greenLow, greenHigh), 8)),
                     _mm_or_si128(_mm_slli_epi32(mantissa(blueLow, blueHigh), 16), exponentByte));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), words);
    return true;
}

}  // namespace
#endif

HdrRgbeRowEncoder::HdrRgbeRowEncoder(bool sharedExponent) : sharedExponent_(sharedExponent), decoder_(sharedExponent) {
    for (uint32_t e = 0; e < scale_.size(); ++e) scale_[e] = decoder_.channelScale(e);
}

void HdrRgbeRowEncoder::encodeFew(std::span<const uint8_t> source, std::size_t first, std::size_t count,
                                  uint8_t* out) const {
    std::array<LinearRgb, FewPixels> linear;
    const auto pixels = std::span<LinearRgb>(linear).first(count);
    decoder_.decodeRow(source.subspan(std::min(4 * first, source.size())), pixels, static_cast<uint32_t>(count));
    encodeRgbeRow(pixels, std::span<uint8_t>(out, 4 * count));
}

void HdrRgbeRowEncoder::encodeRow(std::span<const uint8_t> source, std::span<uint8_t> out, uint32_t width) const {
    if (out.size() / 4 < width) throw std::invalid_argument("scanline buffer smaller than the row");
    std::size_t i = 0;
#if defined(__SSE2__)
    // Four whole stored pixels at a time (x86 stores the words in the file's byte order).
    const std::size_t whole = std::min<std::size_t>(width, source.size() / 4);
    const auto quads = [&]<bool SharedExponent>() {
        for (; i + 4 <= whole; i += 4) {
            if (!rgbeQuad<SharedExponent>(source.data() + 4 * i, scale_.data(), out.data() + 4 * i)) [[unlikely]] {
                encodeFew(source, i, 4, out.data() + 4 * i);
            }
        }
    };
    if (sharedExponent_) {
        quads.template operator()<true>();
    } else {
        quads.template operator()<false>();
    }
#endif
    for (; i < width; i += FewPixels)
        encodeFew(source, i, std::min<std::size_t>(FewPixels, width - i), out.data() + 4 * i);
}

}  // namespace lumenpull
