#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <stdexcept>

#include "pixels/texture_image.h"

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

// How many of `imageCount` images get a file: the leading ones whose first
// stored byte lies inside `length` bytes of pixel data. Both writers stop
// there, and the output names a listing shows end there too.
inline int32_t imagesWithData(int32_t imageCount, uint64_t imageSize, std::size_t length) {
    int32_t images = 0;
    while (images < imageCount && imageHasData(static_cast<uint64_t>(images), imageSize, length)) ++images;
    return images;
}

// The stored bytes of one image of a width × height texture (the low 16
// bits of each, as the writers use them).
inline uint64_t storedImageBytes(int32_t width, int32_t height, uint8_t sourceBitsPerPixel) {
    return uint64_t{static_cast<uint16_t>(width)} * static_cast<uint16_t>(height) * sourceBitsPerPixel / 8;
}

// The files the writers write for a texture: one for each image whose first
// stored byte lies inside its pixel data.
inline int32_t imagesWithData(const TextureImage& texture, uint8_t sourceBitsPerPixel) {
    return imagesWithData(texture.imageCount, storedImageBytes(texture.width, texture.height, sourceBitsPerPixel),
                          texture.pixelData.size());
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
