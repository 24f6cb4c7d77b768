#include "reference_run_length.h"

#include <algorithm>
#include <cstring>

namespace lumenpull::test {

namespace {

// One packet split: from start, pixels up to runStart are raw; runStart to
// runEnd - 1 are a run when it holds minRun pixels or more; go on at scan.
struct Split {
    std::size_t runStart, runEnd, scan;
};

template <typename Same>
Split split(std::size_t start, std::size_t n, std::size_t maxPacket, std::size_t minRun, Same same) {
    std::size_t runStart = start;
    std::size_t runEnd = start + 1;
    std::size_t value = start;
    std::size_t scan = start + 1;
    while (scan < n) {
        if (runEnd - runStart >= maxPacket) break;
        if (same(scan, value)) {
            ++runEnd;
        } else {
            if (runEnd - runStart >= minRun) break;
            runStart = scan;
            runEnd = scan + 1;
            value = scan;
            if (scan - start >= maxPacket) break;
        }
        ++scan;
    }
    if (runStart - start > maxPacket) scan = runStart = start + maxPacket;
    if (scan >= n && runEnd - runStart < minRun) {
        if (scan - start <= maxPacket) {
            runStart = runEnd = scan;
        } else {
            scan = runStart = start + maxPacket;
        }
    }
    return {runStart, runEnd, scan};
}

}  // namespace

std::vector<uint8_t> referenceTgaRle(std::span<const uint8_t> pixels, std::size_t bpp, std::size_t rowPixels) {
    const std::size_t rowBytes = rowPixels * bpp;
    if (rowBytes == 0) return referenceTgaRle(pixels, bpp);
    std::vector<uint8_t> out;
    for (std::size_t start = 0; start < pixels.size(); start += rowBytes) {
        const std::vector<uint8_t> row =
            referenceTgaRle(pixels.subspan(start, std::min(rowBytes, pixels.size() - start)), bpp);
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

std::vector<uint8_t> referenceTgaRle(std::span<const uint8_t> pixels, std::size_t bpp) {
    const std::size_t n = pixels.size() / bpp;
    const std::size_t minRun = bpp == 1 ? 3 : 2;
    const uint8_t* data = pixels.data();
    const auto same = [&](std::size_t a, std::size_t b) {
        return std::memcmp(data + a * bpp, data + b * bpp, bpp) == 0;
    };
    std::vector<uint8_t> out;
    for (std::size_t i = 0; i < n;) {
        const Split s = split(i, n, 128, minRun, same);
        if (s.runStart > i) {
            out.push_back(static_cast<uint8_t>(s.runStart - i - 1));
            out.insert(out.end(), data + i * bpp, data + s.runStart * bpp);
        }
        if (s.runEnd - s.runStart >= minRun) {
            out.push_back(static_cast<uint8_t>(0x80 | (s.runEnd - s.runStart - 1)));
            out.insert(out.end(), data + s.runStart * bpp, data + (s.runStart + 1) * bpp);
        }
        i = s.scan;
    }
    return out;
}

std::vector<uint8_t> referenceRgbeScanline(std::span<const uint8_t> scanline) {
    const std::size_t n = scanline.size() / 4;
    std::vector<uint8_t> out = {2, 2, static_cast<uint8_t>((n >> 8) & 0xFF), static_cast<uint8_t>(n & 0xFF)};
    for (std::size_t channel = 0; channel < 4; ++channel) {
        std::vector<uint8_t> plane(n);
        for (std::size_t j = 0; j < n; ++j) plane[j] = scanline[4 * j + channel];
        const auto same = [&](std::size_t a, std::size_t b) { return plane[a] == plane[b]; };
        for (std::size_t i = 0; i < n;) {
            const Split s = split(i, n, 127, 4, same);
            if (s.runStart > i) {
                out.push_back(static_cast<uint8_t>(s.runStart - i));
                out.insert(out.end(), plane.begin() + static_cast<std::ptrdiff_t>(i),
                           plane.begin() + static_cast<std::ptrdiff_t>(s.runStart));
            }
            if (s.runEnd - s.runStart >= 4) {
                out.push_back(static_cast<uint8_t>(128 + (s.runEnd - s.runStart)));
                out.push_back(plane[s.runStart]);
            }
            i = s.scan;
        }
    }
    return out;
}

}  // namespace lumenpull::test
