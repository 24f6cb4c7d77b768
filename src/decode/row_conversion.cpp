#include "decode/row_conversion.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <stdexcept>

#include "decode/simd_support.h"
#include "pixels/source_bytes.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if LUMENPULL_SSSE3_DISPATCH
#include <tmmintrin.h>
#endif

namespace lumenpull {

namespace {

// Converts whole pixels straight from the source while they are there, then
// the rest from zero-padded copies.
template <std::size_t In, std::size_t Out, typename Convert>
void convertPixels(std::span<const uint8_t> source, std::span<uint8_t> destination, uint32_t width, Convert convert) {
    requireDestination(destination, std::size_t{width} * Out);
    const std::size_t whole = std::min<std::size_t>(width, source.size() / In);
    const uint8_t* in = source.data();
    uint8_t* out = destination.data();
    for (std::size_t i = 0; i < whole; ++i) convert(in + i * In, out + i * Out);
    for (std::size_t i = whole; i < width; ++i) {
        const auto pixel = loadPadded<In>(source, i * In);
        convert(pixel.data(), out + i * Out);
    }
}

void keepBgr(const uint8_t* in, uint8_t* out) {
    out[0] = in[0];
    out[1] = in[1];
    out[2] = in[2];
}

void twoChannel(const uint8_t* in, uint8_t* out) {
    out[0] = 255;
    out[1] = in[1];
    out[2] = in[2];
}

void grey(const uint8_t* in, uint8_t* out) { out[0] = in[0]; }

#if LUMENPULL_SSSE3_DISPATCH
// Sixteen 4-byte pixels at a time into 48 bytes: each 16 bytes loaded give
// their pixels' 12 bytes by one shuffle (byte 0, 1, 2, 4, ... or, with a
// byte index of -1, zero), `fill` is or-ed in, and the four 12-byte pieces
// are put together into three stores. Returns the number of pixels done.
LUMENPULL_TARGET_SSSE3 inline __m128i pixelBytes12(const uint8_t* at, __m128i order, __m128i fill) {
    return _mm_or_si128(_mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)), order), fill);
}

LUMENPULL_TARGET_SSSE3 std::size_t convertSixteens32To24(const uint8_t* in, std::size_t whole, uint8_t* out,
                                                         __m128i order, __m128i fill) {
    std::size_t i = 0;
    for (; i + 16 <= whole; i += 16) {
        const uint8_t* from = in + 4 * i;
        const __m128i a = pixelBytes12(from, order, fill);
        const __m128i b = pixelBytes12(from + 16, order, fill);
        const __m128i c = pixelBytes12(from + 32, order, fill);
        const __m128i d = pixelBytes12(from + 48, order, fill);
        uint8_t* to = out + 3 * i;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to), _mm_or_si128(a, _mm_slli_si128(b, 12)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + 16), _mm_or_si128(_mm_srli_si128(b, 4), _mm_slli_si128(c, 8)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + 32), _mm_or_si128(_mm_srli_si128(c, 8), _mm_slli_si128(d, 4)));
    }
    return i;
}
#endif

// Converts 4-byte pixels to 3-byte ones: B, G, R kept, or with TwoChannel
// 255, G, R. Sixteen at a time with SSSE3, then two at a time: one 8-byte
// load, the pair's six bytes put together in a word, one 8-byte store whose
// last two bytes fall where the next pair goes, so it is taken only while
// at least one more output pixel follows. convertPixels does the rest.
// Returns the number of pixels done.
template <bool TwoChannel>
std::size_t convertWhole32To24(std::span<const uint8_t> source, std::span<uint8_t> destination, uint32_t width) {
    if constexpr (std::endian::native != std::endian::little) return 0;
    requireDestination(destination, std::size_t{width} * 3);
    const std::size_t whole = std::min<std::size_t>(width, source.size() / 4);
    std::size_t i = 0;
#if LUMENPULL_SSSE3_DISPATCH
    if (cpuHasSsse3()) {
        const __m128i order = _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
        const __m128i fill =
            TwoChannel ? _mm_setr_epi8(-1, 0, 0, -1, 0, 0, -1, 0, 0, -1, 0, 0, 0, 0, 0, 0) : _mm_setzero_si128();
        i = convertSixteens32To24(source.data(), whole, destination.data(), order, fill);
    }
#endif
    for (; i + 2 <= whole && i + 3 <= width; i += 2) {
        uint64_t pair = 0;
        std::memcpy(&pair, source.data() + 4 * i, 8);
        if constexpr (TwoChannel) {
            pair = 0xFF0000FFull | (pair & 0xFFFF00ull) | ((pair >> 8) & 0xFFFF00000000ull);
        } else {
            pair = (pair & 0xFFFFFFull) | ((pair >> 8) & 0xFFFFFF000000ull);
        }
        std::memcpy(destination.data() + 3 * i, &pair, 8);
    }
    return i;
}

// The source after its first `bytes` bytes (empty when it holds fewer).
std::span<const uint8_t> sourceAfter(std::span<const uint8_t> source, std::size_t bytes) {
    return source.subspan(std::min(bytes, source.size()));
}

}  // namespace

void convertRow32To24(std::span<const uint8_t> source, std::span<uint8_t> destination, uint32_t width) {
    const std::size_t done = convertWhole32To24<false>(source, destination, width);
    convertPixels<4, 3>(sourceAfter(source, 4 * done), destination.subspan(3 * done),
                        width - static_cast<uint32_t>(done), keepBgr);
}

void convertRow32To24TwoChannel(std::span<const uint8_t> source, std::span<uint8_t> destination, uint32_t width) {
    const std::size_t done = convertWhole32To24<true>(source, destination, width);
    convertPixels<4, 3>(sourceAfter(source, 4 * done), destination.subspan(3 * done),
                        width - static_cast<uint32_t>(done), twoChannel);
}

void convertRow24To24(std::span<const uint8_t> source, std::span<uint8_t> destination, uint32_t width) {
    convertPixels<3, 3>(source, destination, width, keepBgr);
}

void convertRow24To24TwoChannel(std::span<const uint8_t> source, std::span<uint8_t> destination, uint32_t width) {
    convertPixels<3, 3>(source, destination, width, twoChannel);
}

void extractGreyRow(std::span<const uint8_t> source, std::span<uint8_t> destination, uint32_t width,
                    uint32_t sourceBytesPerPixel) {
    if (sourceBytesPerPixel == 3) {
        convertPixels<3, 1>(source, destination, width, grey);
    } else if (sourceBytesPerPixel == 4) {
        requireDestination(destination, width);
        std::size_t done = 0;
#if defined(__SSE2__)
        // Sixteen pixels at a time: the low byte of each 32-bit lane, packed
        // down twice (no lane exceeds 255, so the saturating packs keep it).
        const std::size_t whole = std::min<std::size_t>(width, source.size() / 4);
        const auto lowBytes = [&](std::size_t at) {
            return _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(source.data() + at)),
                                 _mm_set1_epi32(0xFF));
        };
        for (; done + 16 <= whole; done += 16) {
            const std::size_t at = 4 * done;
            const __m128i low = _mm_packs_epi32(lowBytes(at), lowBytes(at + 16));
            const __m128i high = _mm_packs_epi32(lowBytes(at + 32), lowBytes(at + 48));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(destination.data() + done), _mm_packus_epi16(low, high));
        }
#endif
        convertPixels<4, 1>(sourceAfter(source, 4 * done), destination.subspan(done),
                            width - static_cast<uint32_t>(done), grey);
    } else {
        throw std::invalid_argument("grey rows are stored with 3 or 4 bytes per pixel");
    }
}

void copyStoredRow(std::span<const uint8_t> source, std::span<uint8_t> destination) {
    const std::size_t copied = std::min(source.size(), destination.size());
    if (copied != 0) std::memcpy(destination.data(), source.data(), copied);
    std::fill(destination.begin() + static_cast<std::ptrdiff_t>(copied), destination.end(), uint8_t{0});
}

}  // namespace lumenpull
