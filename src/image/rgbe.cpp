#include "image/rgbe.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "image/repeat_bits.h"

namespace lumenpull {

namespace {

constexpr std::size_t MaxPacket = 127;
constexpr std::size_t MinRun = 4;

uint8_t mantissaByte(double value) {
    if (value >= 256.0) return 255;
    if (value > -9.0e18) return static_cast<uint8_t>(static_cast<int64_t>(value));
    return 0;  // NaN (a zero largest value) or nothing a decoder produces
}

// std::frexp, done on the bits for normal numbers (where it is exact bit
// surgery: the fraction keeps the significand and gets the exponent of 0.5);
// zeros, subnormals, infinities and NaN go to the library.
double splitExponent(double value, int& exponent) {
    const auto bits = std::bit_cast<uint64_t>(value);
    const auto biased = static_cast<int>((bits >> 52) & 0x7FF);
    if (biased == 0 || biased == 0x7FF) return std::frexp(value, &exponent);
    exponent = biased - 1022;
    return std::bit_cast<double>((bits & ~(uint64_t{0x7FF} << 52)) | (uint64_t{1022} << 52));
}

// Appends one plane's packets: a raw packet is its count and its bytes, a
// run packet 128 + its count and the byte.
class PlaneWriter {
public:
    PlaneWriter(const uint8_t* plane, std::vector<uint8_t>& out) : plane_(plane), out_(out) {}
    void raw(std::size_t first, std::size_t count) {
        if (count == 0) return;
        out_.push_back(static_cast<uint8_t>(count));
        out_.insert(out_.end(), plane_ + first, plane_ + first + count);
    }
    void run(std::size_t first, std::size_t count) {
        out_.push_back(static_cast<uint8_t>(128 + count));
        out_.push_back(plane_[first]);
    }

private:
    const uint8_t* plane_;
    std::vector<uint8_t>& out_;
};

// One plane (n bytes) into packets.
std::size_t encodePlane(const uint8_t* plane, std::size_t n, std::vector<uint8_t>& out) {
    const std::size_t before = out.size();
    forEachPacket<MaxPacket, MinRun>(RepeatBits<1>(plane, n), PlaneWriter(plane, out));
    return out.size() - before;
}

// fraction / largest * 255 for a largest value split into fraction and
// exponent. For a normal largest value the fraction is that value scaled by
// 2^-exponent exactly, so the quotient is exactly 2^-exponent: made from
// its bits, it spares a division per pixel and gives the same double.
double mantissaFactor(double largest, double fraction, int exponent) {
    const auto biased = static_cast<int>((std::bit_cast<uint64_t>(largest) >> 52) & 0x7FF);
    // (2^-exponent is itself normal for every exponent below 1023.)
    if (biased == 0 || biased == 0x7FF || exponent > 1022) return fraction / largest * 255.0;
    return std::bit_cast<double>(static_cast<uint64_t>(1023 - exponent) << 52) * 255.0;
}

}  // namespace

std::array<uint8_t, 4> encodeRgbe(double red, double green, double blue) {
    const double largest = std::max({red, green, blue}) - 0x1p-31;
    int exponent = 0;
    const double fraction = splitExponent(largest, exponent);
    const double factor = mantissaFactor(largest, fraction, exponent);
    return {mantissaByte(red * factor), mantissaByte(green * factor), mantissaByte(blue * factor),
            static_cast<uint8_t>(exponent + 128)};
}

void encodeRgbeRow(std::span<const LinearRgb> linear, std::span<uint8_t> out) {
    if (out.size() < 4 * linear.size()) throw std::invalid_argument("scanline buffer smaller than the row");
    uint8_t* pixel = out.data();
    for (const LinearRgb& value : linear) {
        const auto rgbe = encodeRgbe(value.red, value.green, value.blue);
        std::memcpy(pixel, rgbe.data(), 4);
        pixel += 4;
    }
}

std::size_t encodeRgbeScanline(std::span<const uint8_t> scanline, std::vector<uint8_t>& out) {
    const std::size_t n = scanline.size() / 4;
    out.push_back(2);
    out.push_back(2);
    out.push_back(static_cast<uint8_t>((n >> 8) & 0xFF));
    out.push_back(static_cast<uint8_t>(n & 0xFF));
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
    std::size_t written = 0;
    for (std::size_t channel = 0; channel < 4; ++channel) written += encodePlane(planes.get() + channel * n, n, out);
    return written;
}

}  // namespace lumenpull
