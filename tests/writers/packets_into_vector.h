#pragma once

// The run-length encoders appending to a byte vector, and a count of the TGA
// packet bytes that makes no packets: what the tests compare, built on the
// encoders' own entry points (which write into room made beforehand).

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <vector>

#include "writers/packet_rule.h"
#include "writers/rgbe.h"
#include "writers/tga_rle.h"

namespace lumenpull::test {

// Appends the TGA packets of the pixels, rows of rowPixels pixels, to out;
// returns the bytes appended.
inline std::size_t encodeTgaRle(std::span<const uint8_t> pixels, uint32_t bytesPerPixel, std::size_t rowPixels,
                                std::vector<uint8_t>& out) {
    const std::size_t before = out.size();
    out.resize(before + tgaRleBound(pixels.size() / std::max<uint32_t>(bytesPerPixel, 1), bytesPerPixel));
    const std::size_t written =
        encodeTgaRleInto(pixels, bytesPerPixel, rowPixels, std::span<uint8_t>(out).subspan(before));
    out.resize(before + written);
    return written;
}

// The same for pixels that are all one row.
inline std::size_t encodeTgaRle(std::span<const uint8_t> pixels, uint32_t bytesPerPixel, std::vector<uint8_t>& out) {
    const std::size_t pixelCount = pixels.size() / std::max<uint32_t>(bytesPerPixel, 1);
    return encodeTgaRle(pixels, bytesPerPixel, std::max<std::size_t>(pixelCount, 1), out);
}

// Appends one run-length scanline (header included) to out; returns the
// packet bytes appended, the 4-byte header not counted.
inline std::size_t encodeRgbeScanline(std::span<const uint8_t> scanline, std::vector<uint8_t>& out) {
    const std::size_t before = out.size();
    out.resize(before + rgbeScanlineBound(scanline.size() / 4));
    const std::size_t written = encodeRgbeScanlineInto(scanline, std::span<uint8_t>(out).subspan(before));
    out.resize(before + written);
    return written - 4;
}

// The bytes encodeTgaRle would append for one row, counted packet by packet
// over the same packet rule without writing any.
template <std::size_t Bpp>
std::size_t countTgaPacketBytes(const uint8_t* pixels, std::size_t n) {
    struct Counter {
        std::size_t written = 0;
        void raw(std::size_t, std::size_t count) { written += count != 0 ? 1 + count * Bpp : 0; }
        void run(std::size_t, std::size_t) { written += 1 + Bpp; }
    };
    constexpr std::size_t MinRun = Bpp == 1 ? 3 : 2;
    return forEachPacket<128, MinRun>(RepeatBits<Bpp>(pixels, n), Counter{}).written;
}

inline std::size_t tgaRleSize(std::span<const uint8_t> pixels, uint32_t bytesPerPixel) {
    switch (bytesPerPixel) {
        case 1: return countTgaPacketBytes<1>(pixels.data(), pixels.size());
        case 3: return countTgaPacketBytes<3>(pixels.data(), pixels.size() / 3);
        case 4: return countTgaPacketBytes<4>(pixels.data(), pixels.size() / 4);
        default: throw std::invalid_argument("TGA pixels take 1, 3 or 4 bytes");
    }
}

}  // namespace lumenpull::test
