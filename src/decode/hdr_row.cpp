#include "decode/hdr_row.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "bytes/little_endian.h"
#include "pixels/source_bytes.h"

namespace lumenpull {

namespace {

// The exponent byte steps by 65793/524288, a little under 32/255, so the
// byte range 0 to 255 spans powers -16 to just under 16.
constexpr double ExponentStep = 65793.0 / 524288.0;
// 1/255 as the nearest single-precision value.
constexpr double InverseByte = static_cast<double>(1.0f / 255.0f);

double exponentByteScale(uint8_t exponent) { return std::pow(2.0, exponent * ExponentStep - 16.0) * InverseByte; }

float sharedExponentScale(uint32_t exponent) { return std::ldexp(1.0f, static_cast<int>(exponent) - 24); }

LinearRgb sharedExponentPixel(uint32_t word, float scale) {
    const auto channel = [&](unsigned shift) {
        return static_cast<double>(static_cast<float>((word >> shift) & 0x1FF) * scale);
    };
    return {channel(0), channel(9), channel(18)};
}

}  // namespace

LinearRgb decodeHdrPixel(std::span<const uint8_t, 4> pixel, bool sharedExponent) {
    const uint8_t* p = pixel.data();
    if (sharedExponent) {
        const uint32_t word = loadLittleEndian32(p);
        return sharedExponentPixel(word, sharedExponentScale(word >> 27));
    }
    const double scale = exponentByteScale(p[3]);
    return {p[2] * scale, p[1] * scale, p[0] * scale};
}

HdrRowDecoder::HdrRowDecoder(bool sharedExponent) : sharedExponent_(sharedExponent) {
    if (sharedExponent) {
        for (uint32_t e = 0; e < sharedScale_.size(); ++e) sharedScale_[e] = sharedExponentScale(e);
    } else {
        for (uint32_t e = 0; e < byteScale_.size(); ++e) byteScale_[e] = exponentByteScale(static_cast<uint8_t>(e));
    }
}

LinearRgb HdrRowDecoder::pixel(const uint8_t* p) const {
    if (sharedExponent_) {
        const uint32_t word = loadLittleEndian32(p);
        return sharedExponentPixel(word, sharedScale_[word >> 27]);
    }
    const double scale = byteScale_[p[3]];
    return {p[2] * scale, p[1] * scale, p[0] * scale};
}

void HdrRowDecoder::decodeRow(std::span<const uint8_t> source, std::span<LinearRgb> destination, uint32_t width) const {
    if (destination.size() < width) throw std::invalid_argument("destination buffer smaller than the decoded row");
    const std::size_t whole = std::min<std::size_t>(width, source.size() / 4);
    for (std::size_t i = 0; i < whole; ++i) destination[i] = pixel(source.data() + 4 * i);
    for (std::size_t i = whole; i < width; ++i) {
        const auto padded = loadPadded<4>(source, 4 * i);
        destination[i] = pixel(padded.data());
    }
}

}  // namespace lumenpull
