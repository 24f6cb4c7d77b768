#include <algorithm>
#include <string>

#include "bytes/little_endian.h"
#include "lumenpull/error.h"
#include "pictures/picture_readers.h"

namespace lumenpull {

namespace {

constexpr std::size_t kHeaderBytes = 18;

// Pixels of a TGA file come blue, green, red (alpha); images hold red first.
void putPixel(const uint8_t* stored, uint32_t bytesPerPixel, uint8_t* out) {
    if (bytesPerPixel == 1) {
        out[0] = stored[0];
        return;
    }
    out[0] = stored[2];
    out[1] = stored[1];
    out[2] = stored[0];
    if (bytesPerPixel == 4) out[3] = stored[3];
}

}  // namespace

Picture readTga(std::span<const uint8_t> file) {
    if (file.size() < kHeaderBytes) throw Error("Truncated TGA file");
    const uint8_t idLength = file[0];
    const uint8_t colourMapType = file[1];
    const uint8_t imageType = file[2];
    const uint32_t width = loadLittleEndian16(&file[12]);
    const uint32_t height = loadLittleEndian16(&file[14]);
    const uint32_t depth = file[16];
    const uint8_t descriptor = file[17];
    const bool runLength = imageType == 10 || imageType == 11;
    const bool grey = imageType == 3 || imageType == 11;
    if (!grey && imageType != 2 && imageType != 10) {
        throw Error("TGA image type " + std::to_string(imageType) + " is not read (only true colour and grey)");
    }
    if (grey ? depth != 8 : depth != 24 && depth != 32) {
        throw Error("TGA depth " + std::to_string(depth) + " is not read (8-bit grey, 24-bit or 32-bit colour)");
    }
    const uint32_t bytesPerPixel = depth / 8;
    // A colour map a true-colour file carries anyway is skipped.
    uint64_t offset = kHeaderBytes + idLength;
    if (colourMapType == 1) offset += (uint64_t{loadLittleEndian16(&file[5])} * file[7] + 7) / 8;
    if (offset > file.size()) throw Error("Truncated TGA file");
    const std::span<const uint8_t> data = file.subspan(static_cast<std::size_t>(offset));
    // A run-length packet of two bytes (grey) holds up to 128 pixels.
    checkDecodedSize(width, height, bytesPerPixel, data.size(), runLength ? 128 : 1, "TGA");

    Image image;
    image.shape = {width, height, grey ? PixelLayout::Grey8 : depth == 24 ? PixelLayout::Rgb8 : PixelLayout::Rgba8};
    const std::size_t pixels = std::size_t{width} * height;
    image.bytes.resize(pixels * bytesPerPixel);
    // Decoded in stored order first, then put in top-down, left-to-right order.
    std::size_t at = 0;
    std::size_t done = 0;
    uint8_t* out = image.bytes.data();
    const auto need = [&](std::size_t bytes) {
        if (data.size() - at < bytes) throw Error("Truncated TGA file");
    };
    while (done < pixels) {
        if (!runLength) {
            need(pixels * bytesPerPixel);
            for (; done < pixels; ++done, at += bytesPerPixel)
                putPixel(&data[at], bytesPerPixel, out + done * bytesPerPixel);
            break;
        }
        need(1);
        const uint8_t packet = data[at++];
        // Packets may cross rows, as old writers made them; only the image's end bounds them.
        const std::size_t count = std::min<std::size_t>((packet & 0x7F) + 1u, pixels - done);
        if (packet & 0x80) {
            need(bytesPerPixel);
            for (std::size_t i = 0; i < count; ++i)
                putPixel(&data[at], bytesPerPixel, out + (done + i) * bytesPerPixel);
            at += bytesPerPixel;
        } else {
            need(count * bytesPerPixel);
            for (std::size_t i = 0; i < count; ++i, at += bytesPerPixel) {
                putPixel(&data[at], bytesPerPixel, out + (done + i) * bytesPerPixel);
            }
        }
        done += count;
    }
    const std::size_t rowBytes = std::size_t{width} * bytesPerPixel;
    if ((descriptor & 0x10) != 0) {  // right to left
        for (uint32_t y = 0; y < height; ++y) {
            uint8_t* row = out + y * rowBytes;
            for (uint32_t left = 0, right = width - 1; left < right; ++left, --right) {
                std::swap_ranges(row + std::size_t{left} * bytesPerPixel, row + std::size_t{left + 1} * bytesPerPixel,
                                 row + std::size_t{right} * bytesPerPixel);
            }
        }
    }
    if ((descriptor & 0x20) == 0) {  // bottom row first
        for (uint32_t top = 0, bottom = height - 1; top < bottom; ++top, --bottom) {
            std::swap_ranges(out + top * rowBytes, out + (top + 1) * rowBytes, out + bottom * rowBytes);
        }
    }
    Picture picture;
    picture.images.push_back(std::move(image));
    return picture;
}

}  // namespace lumenpull
