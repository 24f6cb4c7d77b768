#include "writers/tga_rle.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "writers/packet_rule.h"

namespace lumenpull {

namespace {

constexpr std::size_t MaxPacket = 128;

// Writes the packets into room made beforehand: at most one header byte
// per pixel on top of the pixels themselves, and the slack of tgaRleBound.
template <std::size_t Bpp>
class PacketWriter {
public:
    PacketWriter(const uint8_t* pixels, std::size_t pixelCount, uint8_t* out)
        : pixels_(pixels),
          pixelBytes_(pixelCount * Bpp),
          shortEnd_(pixelBytes_ >= 32 ? pixelBytes_ - 31 : 0),
          start_(out),
          out_(out) {}
    // Writes a raw packet, or nothing for count 0 (without a branch: the
    // bytes written then lie where the next packet goes, or in the slack).
    void raw(std::size_t first, std::size_t count) {
        const std::size_t offset = first * Bpp;
        const std::size_t bytes = count * Bpp;
        out_[0] = static_cast<uint8_t>(count - 1);
        // Short packets, the usual ones in pictures with many short runs,
        // copy a fixed 32 bytes (two moves) while the pixels have them. With
        // room for ten 3-byte pixels nearly every raw packet of a block-coded
        // picture takes this way, so the branch is seldom mispredicted.
        if (bytes <= 32 && offset < shortEnd_) {
            std::memcpy(out_ + 1, pixels_ + offset, 32);
        } else {
            std::memcpy(out_ + 1, pixels_ + offset, bytes);
        }
        out_ += bytes + (count != 0);  // a form compilers keep without a branch
    }
    void run(std::size_t first, std::size_t count) {
        out_[0] = static_cast<uint8_t>(count + 127);  // 0x80 | (count - 1) for counts 1 .. 128
        if constexpr (Bpp == 3) {
            // One 4-byte move: the pixel after `first` is part of the run, so
            // the fourth byte read is a pixel's, and the one written past the
            // packet lies where the next packet goes, or in the slack.
            std::memcpy(out_ + 1, pixels_ + first * Bpp, 4);
        } else {
            std::memcpy(out_ + 1, pixels_ + first * Bpp, Bpp);
        }
        out_ += 1 + Bpp;
    }
    std::size_t written() const { return static_cast<std::size_t>(out_ - start_); }

private:
    const uint8_t* pixels_;
    std::size_t pixelBytes_;
    std::size_t shortEnd_;  // the offsets below it have 32 bytes of pixels from them
    uint8_t* start_;
    uint8_t* out_;
};

// Equal neighbours become a run from 3 one-byte pixels or 2 larger ones.
template <std::size_t Bpp>
constexpr std::size_t MinRun = Bpp == 1 ? 3 : 2;

template <std::size_t Bpp>
std::size_t encode(const uint8_t* data, std::size_t n, std::size_t rowPixels, uint8_t* out) {
    // One row, as every format but the block ones hands over, goes without
    // the row checks; a band of four rows takes them.
    if (rowPixels >= n) {
        return forEachPacket<MaxPacket, MinRun<Bpp>>(RepeatBits<Bpp>(data, n), PacketWriter<Bpp>(data, n, out))
            .written();
    }
    return forEachPacket<MaxPacket, MinRun<Bpp>, true>(RepeatBits<Bpp>(data, n, rowPixels),
                                                       PacketWriter<Bpp>(data, n, out))
        .written();
}

}  // namespace

std::size_t encodeTgaRleInto(std::span<const uint8_t> pixels, uint32_t bytesPerPixel, std::size_t rowPixels,
                             std::span<uint8_t> out) {
    if (out.size() < tgaRleBound(pixels.size() / std::max<uint32_t>(bytesPerPixel, 1), bytesPerPixel)) {
        throw std::invalid_argument("TGA packet buffer smaller than the bound");
    }
    if (rowPixels == 0 && !pixels.empty()) throw std::invalid_argument("TGA rows of no pixels in a buffer of pixels");
    switch (bytesPerPixel) {
        case 1: return encode<1>(pixels.data(), pixels.size(), rowPixels, out.data());
        case 3: return encode<3>(pixels.data(), pixels.size() / 3, rowPixels, out.data());
        case 4: return encode<4>(pixels.data(), pixels.size() / 4, rowPixels, out.data());
        default: throw std::invalid_argument("TGA pixels take 1, 3 or 4 bytes");
    }
}

}  // namespace lumenpull
