#include "image_test_support.h"

#include <gtest/gtest.h>

#include <random>

namespace lumenpull::test {

std::vector<uint8_t> expandTgaPackets(std::span<const uint8_t> packets, std::size_t bytesPerPixel) {
    std::vector<uint8_t> pixels;
    std::size_t pos = 0;
    while (pos < packets.size()) {
        const uint8_t header = packets[pos++];
        const std::size_t count = (header & 0x7F) + 1u;
        const std::size_t dataBytes = (header & 0x80) ? bytesPerPixel : count * bytesPerPixel;
        if (pos + dataBytes > packets.size()) {
            ADD_FAILURE() << "packet at " << pos - 1 << " runs past the data";
            break;
        }
        if (header & 0x80) {
            for (std::size_t i = 0; i < count; ++i)
                pixels.insert(pixels.end(), &packets[pos], &packets[pos] + bytesPerPixel);
        } else {
            pixels.insert(pixels.end(), &packets[pos], &packets[pos] + dataBytes);
        }
        pos += dataBytes;
    }
    return pixels;
}

std::vector<std::size_t> tgaPacketsAcrossRows(std::span<const uint8_t> packets, std::size_t bytesPerPixel,
                                              std::size_t rowPixels) {
    std::vector<std::size_t> across;
    std::size_t pixel = 0;
    std::size_t pos = 0;
    while (pos < packets.size()) {
        const uint8_t header = packets[pos++];
        const std::size_t count = (header & 0x7F) + 1u;
        const std::size_t dataBytes = (header & 0x80) ? bytesPerPixel : count * bytesPerPixel;
        if (pos + dataBytes > packets.size()) {
            ADD_FAILURE() << "packet at " << pos - 1 << " runs past the data";
            break;
        }
        if (pixel / rowPixels != (pixel + count - 1) / rowPixels) across.push_back(pixel);
        pixel += count;
        pos += dataBytes;
    }
    return across;
}

std::vector<uint8_t> expandRgbePlane(std::span<const uint8_t> data, std::size_t& pos, std::size_t n) {
    std::vector<uint8_t> plane;
    while (plane.size() < n) {
        if (pos >= data.size()) {
            ADD_FAILURE() << "plane ends early";
            break;
        }
        const uint8_t header = data[pos++];
        if (header > 128) {
            const std::size_t count = header - 128u;
            EXPECT_GE(count, 4u);
            plane.insert(plane.end(), count, data[pos++]);
        } else {
            EXPECT_GE(header, 1u);
            plane.insert(plane.end(), &data[pos], &data[pos] + header);
            pos += header;
        }
    }
    EXPECT_EQ(plane.size(), n) << "a packet crosses into the next plane";
    return plane;
}

std::vector<uint8_t> noiseBytes(std::size_t count, uint32_t seed) {
    std::mt19937 generator(seed);
    std::vector<uint8_t> bytes(count);
    for (auto& b : bytes) b = static_cast<uint8_t>(generator());
    return bytes;
}

}  // namespace lumenpull::test
