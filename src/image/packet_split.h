#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace lumenpull {

// The packet rule shared by the TGA and the Radiance run-length encoders.
// From `start`, the pixels up to `runStart` form one raw (literal) packet and,
// when runEnd - runStart >= MinRun, the pixels runStart to runEnd - 1 one run
// packet; encoding goes on at `next`. No packet holds more than MaxPacket
// pixels and none reaches past the end of the buffer.
struct PacketSplit {
    std::size_t runStart;
    std::size_t runEnd;
    std::size_t next;
};

// Pixels of one buffer for splitPacket: value(i) is pixel i as an integer,
// firstRepeat(from, to) the first j in [from, to) whose pixel equals pixel
// j - 1, or `to` when there is none (from >= 1).
template <std::size_t Bytes>
class PackedPixels {
public:
    PackedPixels(const uint8_t* data, std::size_t count) : data_(data), count_(count) {}

    uint32_t value(std::size_t i) const {
        const uint8_t* p = data_ + i * Bytes;
        if constexpr (Bytes == 1) {
            return p[0];
        } else if constexpr (Bytes == 3) {
            return p[0] | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16);
        } else {
            static_assert(Bytes == 4);
            uint32_t v;
            std::memcpy(&v, p, 4);
            return v;
        }
    }

    std::size_t firstRepeat(std::size_t from, std::size_t to) const {
        std::size_t j = from;
        if constexpr (Bytes == 1 && std::endian::native == std::endian::little) {
            // Eight neighbour pairs at a time: a zero byte of x ^ y marks an
            // equal pair, and the lowest flagged byte is the first one.
            while (j + 8 <= to) {
                uint64_t x;
                uint64_t y;
                std::memcpy(&x, data_ + j, 8);
                std::memcpy(&y, data_ + j - 1, 8);
                const uint64_t d = x ^ y;
                const uint64_t zero = (d - 0x0101010101010101u) & ~d & 0x8080808080808080u;
                if (zero != 0) return j + static_cast<std::size_t>(std::countr_zero(zero) / 8);
                j += 8;
            }
        }
        uint32_t previous = value(j - 1);
        if constexpr (Bytes == 3) {
            // A four-byte load, masked, while a byte of the next pixel follows.
            for (; j + 1 < count_ && j < to; ++j) {
                uint32_t current;
                std::memcpy(&current, data_ + j * 3, 4);
                current &= 0xFFFFFF;
                if (current == previous) return j;
                previous = current;
            }
        }
        for (; j < to; ++j) {
            const uint32_t current = value(j);
            if (current == previous) return j;
            previous = current;
        }
        return to;
    }

    std::size_t size() const { return count_; }

private:
    const uint8_t* data_;
    std::size_t count_;
};

// Looks ahead from `start` (< n) for the first run worth a packet; everything
// before it is raw. This is the scan the file formats' encoders are defined
// by, step for step, except that a stretch in which every pixel differs from
// the one before it is crossed with firstRepeat instead of pixel by pixel
// (each of those steps would only restart a one-pixel run).
template <std::size_t MaxPacket, std::size_t MinRun, typename Pixels>
PacketSplit splitPacket(const Pixels& pixels, std::size_t start) {
    const std::size_t n = pixels.size();
    std::size_t runStart = start;
    std::size_t runEnd = start + 1;
    uint32_t value = pixels.value(start);
    std::size_t scan = start + 1;
    while (scan < n) {
        if (runEnd - runStart == 1) {
            // Restarting a one-pixel run at every differing pixel: skip to
            // the first repeat, but stay below start + MaxPacket, where the
            // scan may have to stop.
            const std::size_t limit = start + MaxPacket < n ? start + MaxPacket : n;
            if (scan + 1 < limit && pixels.value(scan) != value) {
                const std::size_t repeat = pixels.firstRepeat(scan + 1, limit);
                {
                    runStart = repeat - 1;
                    runEnd = repeat;
                    value = pixels.value(runStart);
                    scan = repeat;
                    if (scan >= n) break;
                }
            }
        }
        if (runEnd - runStart >= MaxPacket) break;
        const uint32_t pixel = pixels.value(scan);
        if (pixel == value) {
            ++runEnd;
            if (runEnd - runStart >= MinRun) {
                // A run worth a packet: it grows until a pixel differs, it
                // holds MaxPacket pixels or the buffer ends, and the scan
                // stops there.
                const std::size_t bound = runStart + MaxPacket < n ? runStart + MaxPacket : n;
                while (runEnd < bound && pixels.value(runEnd) == value) ++runEnd;
                scan = runEnd;
                break;
            }
        } else {
            if (runEnd - runStart >= MinRun) break;
            runStart = scan;
            runEnd = scan + 1;
            value = pixel;
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
    return {runStart, runEnd, scan};
}

}  // namespace lumenpull
