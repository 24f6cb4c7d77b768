#include "image/rgbe.h"

#include <algorithm>
#include <cmath>

namespace lumenpull {

namespace {

constexpr std::size_t MaxPacket = 127;
constexpr std::size_t MinRun = 4;

uint8_t mantissaByte(double value) {
    if (value >= 256.0) return 255;
    if (value > -9.0e18) return static_cast<uint8_t>(static_cast<int64_t>(value));
    return 0;  // NaN (a zero largest value) or nothing a decoder produces
}

// One plane: every fourth byte of the scanline, starting at its channel.
std::size_t encodePlane(const uint8_t* scanline, std::size_t n, std::size_t channel, std::vector<uint8_t>& out) {
    const auto p = [&](std::size_t j) { return scanline[4 * j + channel]; };
    const std::size_t before = out.size();
    std::size_t i = 0;
    while (i < n) {
        const std::size_t start = i;
        std::size_t runStart = i;
        std::size_t runEnd = i + 1;
        uint8_t value = p(i);
        std::size_t scan = i + 1;
        while (scan < n) {
            if (runEnd - runStart >= MaxPacket) break;
            if (p(scan) == value) {
                ++runEnd;
            } else {
                if (runEnd - runStart >= MinRun) break;
                runStart = scan;
                runEnd = scan + 1;
                value = p(scan);
                if (scan - start >= MaxPacket) break;
            }
            ++scan;
        }
        if (runStart - start > MaxPacket) scan = runStart = start + MaxPacket;
        if (scan >= n && runEnd - runStart < MinRun) {
            if (scan - start <= MaxPacket) {
                runStart = runEnd = scan;
            } else {
                scan = runStart = start + MaxPacket;
            }
        }
        if (runStart > start) {
            out.push_back(static_cast<uint8_t>(runStart - start));
            for (std::size_t j = start; j < runStart; ++j) out.push_back(p(j));
        }
        if (runEnd - runStart >= MinRun) {
            out.push_back(static_cast<uint8_t>(128 + (runEnd - runStart)));
            out.push_back(p(runStart));
        }
        i = scan;
    }
    return out.size() - before;
}

}  // namespace

std::array<uint8_t, 4> encodeRgbe(double red, double green, double blue) {
    const double largest = std::max({red, green, blue}) - 0x1p-31;
    int exponent = 0;
    const double fraction = std::frexp(largest, &exponent);
    const double factor = fraction / largest * 255.0;
    return {mantissaByte(red * factor), mantissaByte(green * factor), mantissaByte(blue * factor),
            static_cast<uint8_t>(exponent + 128)};
}

std::size_t encodeRgbeScanline(std::span<const uint8_t> scanline, std::vector<uint8_t>& out) {
    const std::size_t n = scanline.size() / 4;
    out.push_back(2);
    out.push_back(2);
    out.push_back(static_cast<uint8_t>((n >> 8) & 0xFF));
    out.push_back(static_cast<uint8_t>(n & 0xFF));
    std::size_t written = 0;
    for (std::size_t channel = 0; channel < 4; ++channel) written += encodePlane(scanline.data(), n, channel, out);
    return written;
}

}  // namespace lumenpull
