#include "image/tga_rle.h"

#include <stdexcept>

#include "image/packet_split.h"

namespace lumenpull {

namespace {

constexpr std::size_t MaxPacket = 128;

// Appends the packets to a byte buffer.
class PacketWriter {
public:
    explicit PacketWriter(std::vector<uint8_t>& out) : out_(out), before_(out.size()) {}
    void packet(uint8_t header, const uint8_t* bytes, std::size_t count) {
        out_.push_back(header);
        out_.insert(out_.end(), bytes, bytes + count);
    }
    std::size_t written() const { return out_.size() - before_; }

private:
    std::vector<uint8_t>& out_;
    std::size_t before_;
};

// Only counts the bytes the packets would take.
class PacketCounter {
public:
    void packet(uint8_t, const uint8_t*, std::size_t count) { written_ += 1 + count; }
    std::size_t written() const { return written_; }

private:
    std::size_t written_ = 0;
};

template <std::size_t Bpp, typename Sink>
std::size_t encode(const uint8_t* data, std::size_t n, Sink sink) {
    // Equal neighbours become a run from 3 one-byte pixels or 2 larger ones.
    constexpr std::size_t MinRun = Bpp == 1 ? 3 : 2;
    const PackedPixels<Bpp> pixels(data, n);
    std::size_t i = 0;
    while (i < n) {
        const PacketSplit split = splitPacket<MaxPacket, MinRun>(pixels, i);
        if (split.runStart > i) {
            sink.packet(static_cast<uint8_t>(split.runStart - i - 1), data + i * Bpp, (split.runStart - i) * Bpp);
        }
        if (split.runEnd - split.runStart >= MinRun) {
            sink.packet(static_cast<uint8_t>(0x80 | (split.runEnd - split.runStart - 1)), data + split.runStart * Bpp,
                        Bpp);
        }
        i = split.next;
    }
    return sink.written();
}

template <typename Sink>
std::size_t encodeAny(std::span<const uint8_t> pixels, uint32_t bytesPerPixel, Sink sink) {
    switch (bytesPerPixel) {
        case 1: return encode<1>(pixels.data(), pixels.size(), sink);
        case 3: return encode<3>(pixels.data(), pixels.size() / 3, sink);
        case 4: return encode<4>(pixels.data(), pixels.size() / 4, sink);
        default: throw std::invalid_argument("TGA pixels take 1, 3 or 4 bytes");
    }
}

}  // namespace

std::size_t encodeTgaRle(std::span<const uint8_t> pixels, uint32_t bytesPerPixel, std::vector<uint8_t>& out) {
    return encodeAny(pixels, bytesPerPixel, PacketWriter(out));
}

std::size_t tgaRleSize(std::span<const uint8_t> pixels, uint32_t bytesPerPixel) {
    return encodeAny(pixels, bytesPerPixel, PacketCounter());
}

}  // namespace lumenpull
