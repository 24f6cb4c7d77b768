#include "image/tga_rle.h"

#include <cstring>
#include <stdexcept>

namespace lumenpull {

namespace {

constexpr std::size_t MaxPacket = 128;

}  // namespace

std::size_t encodeTgaRle(std::span<const uint8_t> pixels, uint32_t bytesPerPixel, std::vector<uint8_t>& out) {
    if (bytesPerPixel != 1 && bytesPerPixel != 3 && bytesPerPixel != 4) {
        throw std::invalid_argument("TGA pixels take 1, 3 or 4 bytes");
    }
    const std::size_t bpp = bytesPerPixel;
    const std::size_t n = pixels.size() / bpp;
    const std::size_t minRun = bpp == 1 ? 3 : 2;
    const uint8_t* data = pixels.data();
    const auto same = [&](std::size_t a, std::size_t b) {
        return std::memcmp(data + a * bpp, data + b * bpp, bpp) == 0;
    };
    const std::size_t before = out.size();

    std::size_t i = 0;
    while (i < n) {
        const std::size_t start = i;
        std::size_t runStart = i;
        std::size_t runEnd = i + 1;
        std::size_t value = i;
        std::size_t scan = i + 1;
        // Look ahead for the first run worth a packet; everything before it is raw.
        while (scan < n) {
            if (runEnd - runStart >= MaxPacket) break;
            if (same(scan, value)) {
                ++runEnd;
            } else {
                if (runEnd - runStart >= minRun) break;
                runStart = scan;
                runEnd = scan + 1;
                value = scan;
                if (scan - start >= MaxPacket) break;
            }
            ++scan;
        }
        if (runStart - start > MaxPacket) scan = runStart = start + MaxPacket;
        if (scan >= n && runEnd - runStart < minRun) {
            if (scan - start <= MaxPacket) {
                runStart = runEnd = scan;
            } else {
                scan = runStart = start + MaxPacket;
            }
        }
        if (runStart > start) {
            out.push_back(static_cast<uint8_t>(runStart - start - 1));
            out.insert(out.end(), data + start * bpp, data + runStart * bpp);
        }
        if (runEnd - runStart >= minRun) {
            out.push_back(static_cast<uint8_t>(0x80 | (runEnd - runStart - 1)));
            out.insert(out.end(), data + runStart * bpp, data + (runStart + 1) * bpp);
        }
        i = scan;
    }
    return out.size() - before;
}

}  // namespace lumenpull
