#include "image/tga_rle.h"

#include <stdexcept>

#include "image/packet_split.h"

namespace lumenpull {

namespace {

constexpr std::size_t MaxPacket = 128;

template <std::size_t Bpp>
std::size_t encode(const uint8_t* data, std::size_t n, std::vector<uint8_t>& out) {
    // Equal neighbours become a run from 3 one-byte pixels or 2 larger ones.
    constexpr std::size_t MinRun = Bpp == 1 ? 3 : 2;
    const PackedPixels<Bpp> pixels(data, n);
    const std::size_t before = out.size();
    std::size_t i = 0;
    while (i < n) {
        const PacketSplit split = splitPacket<MaxPacket, MinRun>(pixels, i);
        if (split.runStart > i) {
            out.push_back(static_cast<uint8_t>(split.runStart - i - 1));
            out.insert(out.end(), data + i * Bpp, data + split.runStart * Bpp);
        }
        if (split.runEnd - split.runStart >= MinRun) {
            out.push_back(static_cast<uint8_t>(0x80 | (split.runEnd - split.runStart - 1)));
            out.insert(out.end(), data + split.runStart * Bpp, data + (split.runStart + 1) * Bpp);
        }
        i = split.next;
    }
    return out.size() - before;
}

}  // namespace

std::size_t encodeTgaRle(std::span<const uint8_t> pixels, uint32_t bytesPerPixel, std::vector<uint8_t>& out) {
    switch (bytesPerPixel) {
        case 1: return encode<1>(pixels.data(), pixels.size(), out);
        case 3: return encode<3>(pixels.data(), pixels.size() / 3, out);
        case 4: return encode<4>(pixels.data(), pixels.size() / 4, out);
        default: throw std::invalid_argument("TGA pixels take 1, 3 or 4 bytes");
    }
}

}  // namespace lumenpull
