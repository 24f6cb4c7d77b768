#include "image/rgbe.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "image/packet_rule.h"

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
           uint32_t{mantissaByte(blue * factor)} << 16 | static_cast<uint32_t>(static_cast<uint8_t>(exponent + 128)) << 24;
}

}  // namespace

std::array<uint8_t, 4> encodeRgbe(double red, double green, double blue) {
    const uint32_t word = rgbeWord(red, green, blue);
    return {static_cast<uint8_t>(word), static_cast<uint8_t>(word >> 8), static_cast<uint8_t>(word >> 16),
            static_cast<uint8_t>(word >> 24)};
}

void encodeRgbeRow(std::span<const LinearRgb> linear, std::span<uint8_t> out) {
    if (out.size() < 4 * linear.size()) throw std::invalid_argument("scanline buffer smaller than the row");
    uint8_t* pixel = out.data();
    for (const LinearRgb& value : linear) {
        const uint32_t word = rgbeWord(value.red, value.green, value.blue);
        pixel[0] = static_cast<uint8_t>(word);
        pixel[1] = static_cast<uint8_t>(word >> 8);
        pixel[2] = static_cast<uint8_t>(word >> 16);
        pixel[3] = static_cast<uint8_t>(word >> 24);
        pixel += 4;
    }
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
