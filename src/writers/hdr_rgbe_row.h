#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "decode/hdr_row.h"

namespace lumenpull {

// Stored high-dynamic-range rows straight to RGBE pixels: the very bytes
// encodeRgbeRow makes of what HdrRowDecoder::decodeRow gives for a row,
// without the row of linear values in between.
class HdrRgbeRowEncoder {
public:
    explicit HdrRgbeRowEncoder(bool sharedExponent);

    // width pixels of a stored row as RGBE pixels (red, green, blue
    // mantissa, exponent) into out, which must hold 4 × width bytes. Stored
    // bytes missing at the end of the source read as zero.
    void encodeRow(std::span<const uint8_t> source, std::span<uint8_t> out, uint32_t width) const;

private:
    // Pixels first .. first + count - 1 (count at most FewPixels) by the
    // decoder and the RGBE row encoder themselves.
    static constexpr std::size_t FewPixels = 64;
    void encodeFew(std::span<const uint8_t> source, std::size_t first, std::size_t count, uint8_t* out) const;

    bool sharedExponent_;
    HdrRowDecoder decoder_;
    std::array<double, 256> scale_{};  // the decoder's channel scale by exponent byte or shared exponent
};

}  // namespace lumenpull
