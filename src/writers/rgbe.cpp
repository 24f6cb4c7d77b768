#include "writers/rgbe.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "writers/packet_rule.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace lumenpull {

namespace {

constexpr std::size_t MaxPacket = 127;
constexpr std::size_t MinRun = 4;

uint8_t mantissaByte(double value) {
    if (value >= 256.0) return 255;
    if (value > -9.0e18) return static_cast<uint8_t>(static_cast<int64_t>(value));
    return 0;  // NaN (a zero largest value) or nothing a decoder produces
}

// Writes one plane's packets through a pointer: a raw packet is its count
// and its bytes, a run packet 128 + its count and the byte.
class PlaneWriter {
public:
    PlaneWriter(const uint8_t* plane, uint8_t* out) : plane_(plane), out_(out) {}
    void raw(std::size_t first, std::size_t count) {
        if (count == 0) return;
        *out_++ = static_cast<uint8_t>(count);
        std::memcpy(out_, plane_ + first, count);
        out_ += count;
    }
    void run(std::size_t first, std::size_t count) {
        out_[0] = static_cast<uint8_t>(128 + count);
        out_[1] = plane_[first];
        out_ += 2;
    }
    uint8_t* end() const { return out_; }

private:
    const uint8_t* plane_;
    uint8_t* out_;
};

// The mantissa factor (fraction / largest * 255) and exponent of a largest
// value that is zero, subnormal, infinite or NaN, or too large for the
// shortcut below: the library's frexp and a division. Never taken for
// values a decoder produces, so kept out of line.
[[gnu::noinline]] double unusualFactor(double largest, int& exponent) {
    return std::frexp(largest, &exponent) / largest * 255.0;
}

// The four RGBE bytes of one pixel, as a word (red in the low byte). For a
// normal largest value, frexp is bit surgery (the fraction keeps the
// significand and gets the exponent of 0.5), and the fraction is the value
// scaled by 2^-exponent exactly, so fraction / largest is exactly that power
// of two: made from its bits, it spares a division per pixel and gives the
// same double. (2^-exponent is itself normal for every exponent below 1023.)
[[gnu::always_inline]] inline uint32_t rgbeWord(double red, double green, double blue) {
    const double largest = std::max({red, green, blue}) - 0x1p-31;
    const auto biased = static_cast<int>((std::bit_cast<uint64_t>(largest) >> 52) & 0x7FF);
    int exponent = biased - 1022;
    double factor = 0;
    if (biased == 0 || biased == 0x7FF || exponent > 1022) [[unlikely]] {
        factor = unusualFactor(largest, exponent);
    } else {
        factor = std::bit_cast<double>(static_cast<uint64_t>(1023 - exponent) << 52) * 255.0;
    }
    return mantissaByte(red * factor) | uint32_t{mantissaByte(green * factor)} << 8 |
           uint32_t{mantissaByte(blue * factor)} << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(exponent + 128)) << 24;
}

}  // namespace

std::array<uint8_t, 4> encodeRgbe(double red, double green, double blue) {
    const uint32_t word = rgbeWord(red, green, blue);
    return {static_cast<uint8_t>(word), static_cast<uint8_t>(word >> 8), static_cast<uint8_t>(word >> 16),
            static_cast<uint8_t>(word >> 24)};
}

#if defined(__SSE2__)
namespace {

// rgbeWord for two pixels at once, a double lane each, with the same
// operations in the same order, so the same doubles and bytes; false (and
// nothing written) when a lane needs what only the scalar code does: an
// unusual largest value, or a mantissa value at or below -2^31, where a
// conversion to 32 bits no longer gives the low byte of the 64-bit one.
// Values a decoder produces never do.
inline bool rgbeWordPair(const LinearRgb* pixel, uint8_t* out) {
    // Red and green of both pixels, then blue.
    const __m128d first = _mm_loadu_pd(&pixel[0].red);
    const __m128d second = _mm_loadu_pd(&pixel[1].red);
    const __m128d red = _mm_unpacklo_pd(first, second);
    const __m128d green = _mm_unpackhi_pd(first, second);
    const __m128d blue = _mm_loadh_pd(_mm_load_sd(&pixel[0].blue), &pixel[1].blue);
    // std::max({r, g, b}): g when r < g, then b when that is < b.
    const auto select = [](__m128d take, __m128d yes, __m128d no) {
        return _mm_or_pd(_mm_and_pd(take, yes), _mm_andnot_pd(take, no));
    };
    const __m128d redGreen = select(_mm_cmplt_pd(red, green), green, red);
    const __m128d most = select(_mm_cmplt_pd(redGreen, blue), blue, redGreen);
    const __m128d largest = _mm_sub_pd(most, _mm_set1_pd(0x1p-31));

    const __m128i biased = _mm_and_si128(_mm_srli_epi64(_mm_castpd_si128(largest), 52), _mm_set1_epi64x(0x7FF));
    // Zero, subnormal, infinite, NaN or an exponent above 1022: biased 0 or from 2045.
    const __m128i unusual =
        _mm_or_si128(_mm_cmpeq_epi32(biased, _mm_setzero_si128()), _mm_cmpgt_epi32(biased, _mm_set1_epi32(2044)));
    // The low 32 bits of each 64-bit lane hold `biased`: take the mask of those.
    if ((_mm_movemask_epi8(unusual) & 0x0F0F) != 0) return false;
    const __m128d power = _mm_castsi128_pd(_mm_slli_epi64(_mm_sub_epi64(_mm_set1_epi64x(2045), biased), 52));
    const __m128d factor = _mm_mul_pd(power, _mm_set1_pd(255.0));

    const __m128d redValue = _mm_mul_pd(red, factor);
    const __m128d greenValue = _mm_mul_pd(green, factor);
    const __m128d blueValue = _mm_mul_pd(blue, factor);
    const __m128d floor = _mm_set1_pd(-2147483648.0);
    if (_mm_movemask_pd(_mm_or_pd(_mm_or_pd(_mm_cmple_pd(redValue, floor), _mm_cmple_pd(greenValue, floor)),
                                  _mm_cmple_pd(blueValue, floor))) != 0) {
        return false;
    }
    // mantissaByte: 255 from 256 on, else the truncated value; NaN stays NaN
    // through the minimum (its second operand) and converts to 0x80000000,
    // whose low byte is the 0 the scalar code gives.
    const auto mantissa = [](__m128d value) {
        return _mm_and_si128(_mm_cvttpd_epi32(_mm_min_pd(_mm_set1_pd(255.0), value)), _mm_set1_epi32(0xFF));
    };
    // biased - 1022 + 128, as a byte: biased + 130.
    const __m128i exponentByte = _mm_and_si128(
        _mm_add_epi32(_mm_shuffle_epi32(biased, _MM_SHUFFLE(3, 3, 2, 0)), _mm_set1_epi32(130)), _mm_set1_epi32(0xFF));
    const __m128i words =
        _mm_or_si128(_mm_or_si128(mantissa(redValue), _mm_slli_epi32(mantissa(greenValue), 8)),
                     _mm_or_si128(_mm_slli_epi32(mantissa(blueValue), 16), _mm_slli_epi32(exponentByte, 24)));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), words);
    return true;
}

}  // namespace
#endif

void encodeRgbeRow(std::span<const LinearRgb> linear, std::span<uint8_t> out) {
    if (out.size() < 4 * linear.size()) throw std::invalid_argument("scanline buffer smaller than the row");
    const auto scalar = [&](std::size_t i) {
        const uint32_t word = rgbeWord(linear[i].red, linear[i].green, linear[i].blue);
        uint8_t* pixel = out.data() + 4 * i;
        pixel[0] = static_cast<uint8_t>(word);
        pixel[1] = static_cast<uint8_t>(word >> 8);
        pixel[2] = static_cast<uint8_t>(word >> 16);
        pixel[3] = static_cast<uint8_t>(word >> 24);
    };
    std::size_t i = 0;
#if defined(__SSE2__)
    // Two pixels at a time (x86 stores the words in the file's byte order).
    for (; i + 2 <= linear.size(); i += 2) {
        if (!rgbeWordPair(&linear[i], out.data() + 4 * i)) [[unlikely]] {
            scalar(i);
            scalar(i + 1);
        }
    }
#endif
    for (; i < linear.size(); ++i) scalar(i);
}

void unlikeScanlineHeader(std::span<uint8_t, 4> pixel) {
    if (pixel[0] != 2 || pixel[1] != 2 || pixel[2] >= 128) return;
    if (pixel[3] == 0) {
        pixel[0] = pixel[1] = pixel[2] = 0;
        pixel[3] = 98;  // black, as encodeRgbe writes it
        return;
    }
    pixel[0] = 4;
    pixel[1] = 4;
    pixel[2] = static_cast<uint8_t>(2 * pixel[2]);
    pixel[3] = static_cast<uint8_t>(pixel[3] - 1);
}

std::size_t encodeRgbeScanlineInto(std::span<const uint8_t> scanline, std::span<uint8_t> out) {
    const std::size_t n = scanline.size() / 4;
    if (out.size() < rgbeScanlineBound(n)) throw std::invalid_argument("scanline packet buffer smaller than the bound");
    out[0] = 2;
    out[1] = 2;
    out[2] = static_cast<uint8_t>((n >> 8) & 0xFF);
    out[3] = static_cast<uint8_t>(n & 0xFF);
    // The planes side by side, so that each is scanned as contiguous bytes.
    const auto planes = std::make_unique_for_overwrite<uint8_t[]>(4 * n);
    uint8_t* red = planes.get();
    uint8_t* green = red + n;
    uint8_t* blue = green + n;
    uint8_t* exponent = blue + n;
    const uint8_t* pixel = scanline.data();
    for (std::size_t j = 0; j < n; ++j, pixel += 4) {
        red[j] = pixel[0];
        green[j] = pixel[1];
        blue[j] = pixel[2];
        exponent[j] = pixel[3];
    }
    uint8_t* end = out.data() + 4;
    for (std::size_t channel = 0; channel < 4; ++channel) {
        const uint8_t* plane = planes.get() + channel * n;
        end = forEachPacket<MaxPacket, MinRun>(RepeatBits<1>(plane, n), PlaneWriter(plane, end)).end();
    }
    return static_cast<std::size_t>(end - out.data());
}

}  // namespace lumenpull
