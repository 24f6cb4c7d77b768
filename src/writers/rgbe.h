#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "decode/hdr_row.h"

namespace lumenpull {

// Linear red, green, blue as the four Radiance bytes red, green, blue
// mantissa and exponent. The mantissa factor is 255: a black pixel is
// 0, 0, 0, 98. A mantissa that would exceed 255 (values just above the
// encoder's 2^-31 offset) is stored as 255 rather than wrapping to a small one.
std::array<uint8_t, 4> encodeRgbe(double red, double green, double blue);

// Every pixel of a row with encodeRgbe, four bytes each, into out (which
// must hold them).
void encodeRgbeRow(std::span<const LinearRgb> linear, std::span<uint8_t> out);

// Readers of rows 8 to 32767 pixels wide take a row that begins 2, 2 and a
// byte below 128 for a run-length scanline. A pixel never begins so with a
// mantissa factor of 256, but with 255 the largest mantissa can be 127
// (2, 2, 127, e). For the first pixel of a flat row of such a width: rewrites
// 2, 2, b, e (b below 128) as 4, 4, 2b, e - 1, the same value one power of
// two lower; with exponent byte 0 (values below 2^-127, which no decoder
// gives) there is no lower power, and the pixel becomes black. Any other
// pixel stays as it is.
void unlikeScanlineHeader(std::span<uint8_t, 4> pixel);

// The room encodeRgbeScanlineInto needs for a scanline of `pixels` pixels:
// the header, and at worst two bytes a pixel in each of the four planes.
constexpr std::size_t rgbeScanlineBound(std::size_t pixels) { return 4 + 8 * pixels; }

// Writes one run-length scanline of the planar kind to the start of `out`,
// which must hold rgbeScanlineBound bytes: the header 2, 2, n >> 8, n & 0xFF
// for the n = scanline.size() / 4 pixels, then the red, green, blue and
// exponent planes each encoded into packets (run: 128 + n and one byte, n
// from 4 to 127; literal: n and n bytes, n from 1 to 127). Returns the bytes
// written, header included.
std::size_t encodeRgbeScanlineInto(std::span<const uint8_t> scanline, std::span<uint8_t> out);

}  // namespace lumenpull
