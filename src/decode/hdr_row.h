#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace lumenpull {

struct LinearRgb {
    double red = 0;
    double green = 0;
    double blue = 0;
};

// One stored 4-byte high-dynamic-range pixel as linear values. Exponent-byte
// encoding (sharedExponent false): bytes blue, green, red, exponent. Shared
// exponent encoding: a little-endian word with 9-bit mantissas (red in bits
// 0-8, green 9-17, blue 18-26) and a 5-bit exponent in bits 27-31.
LinearRgb decodeHdrPixel(std::span<const uint8_t, 4> pixel, bool sharedExponent);

// Decodes rows of one encoding with the scale of every exponent worked out
// once, by the very computation decodeHdrPixel makes per pixel, so the
// values are the same doubles.
class HdrRowDecoder {
public:
    explicit HdrRowDecoder(bool sharedExponent);

    // width pixels of a stored row into the destination, which must hold
    // them. Stored bytes missing at the end of the source read as zero.
    void decodeRow(std::span<const uint8_t> source, std::span<LinearRgb> destination, uint32_t width) const;

    // What a stored channel value is multiplied by for an exponent (the
    // exponent byte, or the 5-bit shared exponent): the decoded channel is
    // the value times this, as doubles. (The shared-exponent encoding
    // multiplies in single precision, but its products, 9-bit values times
    // powers of two from 2^-24 to 2^7, are exact there as in double.)
    double channelScale(uint32_t exponent) const {
        return sharedExponent_ ? static_cast<double>(sharedScale_[exponent & 31]) : byteScale_[exponent & 255];
    }

private:
    LinearRgb pixel(const uint8_t* p) const;

    bool sharedExponent_;
    std::array<double, 256> byteScale_{};  // exponent-byte encoding, by exponent byte
    std::array<float, 32> sharedScale_{};  // shared-exponent encoding, by exponent
};

}  // namespace lumenpull
