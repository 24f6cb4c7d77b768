#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <stdexcept>

namespace lumenpull {

// N stored bytes starting at offset; the bytes that lie past the end of the
// source read as zero. Decoders use it for the last, incomplete pixel or
// block of data that ends early.
template <std::size_t N>
std::array<uint8_t, N> loadPadded(std::span<const uint8_t> source, std::size_t offset) {
    std::array<uint8_t, N> bytes{};
    if (offset < source.size()) {
        std::size_t available = std::min(N, source.size() - offset);
        std::memcpy(bytes.data(), source.data() + offset, available);
    }
    return bytes;
}

// Every decoder writes a fixed number of bytes; a smaller destination is a
// caller's mistake and is refused before anything is written.
inline void requireDestination(std::span<const uint8_t> destination, std::size_t bytes) {
    if (destination.size() < bytes) throw std::invalid_argument("destination buffer smaller than the decoded row");
}

// The stored bytes of a row whose start offset is clamped into the pixel data
// (0 to length - 1); empty data gives an empty source.
inline std::span<const uint8_t> clampedSource(std::span<const uint8_t> data, uint64_t offset) {
    if (data.empty()) return data;
    return data.subspan(static_cast<std::size_t>(std::min<uint64_t>(offset, data.size() - 1)));
}

// image × imageSize + row × rowSize, saturated instead of wrapping: any
// offset past the data is clamped to its last byte anyway.
inline uint64_t rowOffset(uint64_t image, uint64_t imageSize, uint64_t row, uint64_t rowSize) {
    uint64_t imagePart = 0;
    uint64_t rowPart = 0;
    uint64_t sum = 0;
    if (__builtin_mul_overflow(image, imageSize, &imagePart) || __builtin_mul_overflow(row, rowSize, &rowPart) ||
        __builtin_add_overflow(imagePart, rowPart, &sum)) {
        return UINT64_MAX;
    }
    return sum;
}

// Whether image `image` of a texture gets a file: only when the pixel data
// holds its first stored byte. An image of no stored bytes counts as one
// byte, so that a hostile image count cannot make files out of nothing.
inline bool imageHasData(uint64_t image, uint64_t imageSize, std::size_t length) {
    return rowOffset(image, std::max<uint64_t>(imageSize, 1), 0, 0) < length;
}

// The rows (or bands) of an image that begin inside the pixel data; the rest
// would be made of zeros alone and are left out, so that no image is larger
// than what the data can fill. Rows of no stored bytes all count.
inline uint64_t rowsWithData(uint64_t imageStart, uint64_t rowSize, uint64_t rowCount, std::size_t length) {
    if (rowSize == 0) return rowCount;
    if (imageStart >= length) return 0;
    return std::min(rowCount, (length - imageStart + rowSize - 1) / rowSize);
}

}  // namespace lumenpull
