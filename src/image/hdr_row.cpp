#include "image/hdr_row.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "image/source_bytes.h"

namespace lumenpull {

namespace {

// The exponent byte steps by 65793/524288, a little under 32/255, so the
// byte range 0 to 255 spans powers -16 to just under 16.
constexpr double ExponentStep = 65793.0 / 524288.0;
// 1/255 as the nearest single-precision value.
constexpr double InverseByte = static_cast<double>(1.0f / 255.0f);

LinearRgb decodeExponentByte(const uint8_t* p) {
    const double scale = std::pow(2.0, p[3] * ExponentStep - 16.0) * InverseByte;
    return {p[2] * scale, p[1] * scale, p[0] * scale};
}

LinearRgb decodeSharedExponent(const uint8_t* p) {
    const uint32_t word = p[0] | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
    const float scale = std::ldexp(1.0f, static_cast<int>(word >> 27) - 24);
    const auto channel = [&](unsigned shift) {
        return static_cast<double>(static_cast<float>((word >> shift) & 0x1FF) * scale);
    };
    return {channel(0), channel(9), channel(18)};
}

LinearRgb decode(const uint8_t* p, bool sharedExponent) {
    return sharedExponent ? decodeSharedExponent(p) : decodeExponentByte(p);
}

}  // namespace

LinearRgb decodeHdrPixel(std::span<const uint8_t, 4> pixel, bool sharedExponent) {
    return decode(pixel.data(), sharedExponent);
}

void decodeHdrRow(std::span<const uint8_t> source, std::span<LinearRgb> destination, uint32_t width,
                  bool sharedExponent) {
    if (destination.size() < width) throw std::invalid_argument("destination buffer smaller than the decoded row");
    const std::size_t whole = std::min<std::size_t>(width, source.size() / 4);
    for (std::size_t i = 0; i < whole; ++i) destination[i] = decode(source.data() + 4 * i, sharedExponent);
    for (std::size_t i = whole; i < width; ++i) {
        const auto pixel = loadPadded<4>(source, 4 * i);
        destination[i] = decode(pixel.data(), sharedExponent);
    }
}

}  // namespace lumenpull
