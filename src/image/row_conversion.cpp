#include "image/row_conversion.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "image/source_bytes.h"

namespace lumenpull {

namespace {

// Converts whole pixels straight from the source while they are there, then
// the rest from zero-padded copies.
template <std::size_t In, std::size_t Out, typename Convert>
void convertPixels(std::span<const uint8_t> source, std::span<uint8_t> destination, uint32_t width,
                   Convert convert) {
    requireDestination(destination, std::size_t{width} * Out);
    const std::size_t whole = std::min<std::size_t>(width, source.size() / In);
    const uint8_t* in = source.data();
    uint8_t* out = destination.data();
    for (std::size_t i = 0; i < whole; ++i) convert(in + i * In, out + i * Out);
    for (std::size_t i = whole; i < width; ++i) {
        const auto pixel = loadPadded<In>(source, i * In);
        convert(pixel.data(), out + i * Out);
    }
}

void keepBgr(const uint8_t* in, uint8_t* out) {
    out[0] = in[0];
    out[1] = in[1];
    out[2] = in[2];
}

void twoChannel(const uint8_t* in, uint8_t* out) {
    out[0] = 255;
    out[1] = in[1];
    out[2] = in[2];
}

void grey(const uint8_t* in, uint8_t* out) { out[0] = in[0]; }

}  // namespace

void convertRow32To24(std::span<const uint8_t> source, std::span<uint8_t> destination, uint32_t width) {
    convertPixels<4, 3>(source, destination, width, keepBgr);
}

void convertRow32To24TwoChannel(std::span<const uint8_t> source, std::span<uint8_t> destination, uint32_t width) {
    convertPixels<4, 3>(source, destination, width, twoChannel);
}

void convertRow24To24(std::span<const uint8_t> source, std::span<uint8_t> destination, uint32_t width) {
    convertPixels<3, 3>(source, destination, width, keepBgr);
}

void convertRow24To24TwoChannel(std::span<const uint8_t> source, std::span<uint8_t> destination, uint32_t width) {
    convertPixels<3, 3>(source, destination, width, twoChannel);
}

void extractGreyRow(std::span<const uint8_t> source, std::span<uint8_t> destination, uint32_t width,
                    uint32_t sourceBytesPerPixel) {
    if (sourceBytesPerPixel == 3) {
        convertPixels<3, 1>(source, destination, width, grey);
    } else if (sourceBytesPerPixel == 4) {
        convertPixels<4, 1>(source, destination, width, grey);
    } else {
        throw std::invalid_argument("grey rows are stored with 3 or 4 bytes per pixel");
    }
}

void copyStoredRow(std::span<const uint8_t> source, std::span<uint8_t> destination) {
    const std::size_t copied = std::min(source.size(), destination.size());
    if (copied != 0) std::memcpy(destination.data(), source.data(), copied);
    std::fill(destination.begin() + static_cast<std::ptrdiff_t>(copied), destination.end(), uint8_t{0});
}

}  // namespace lumenpull
