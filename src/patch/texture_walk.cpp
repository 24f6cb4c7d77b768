#include "patch/texture_walk.h"

#include <algorithm>

#include "bytes/little_endian.h"
#include "pixels/texture_flags.h"
#include "resource/read_word.h"
#include "stream/stream_errors.h"

namespace lumenpull {
namespace {

constexpr uint16_t kLargestFirst = 0x0000;
constexpr uint16_t kLargestLast = 0x0100;

}  // namespace

uint16_t readTrailingPixelBlock(Stream& stream, std::vector<uint8_t>& pixelData) {
    uint8_t word[2];
    stream.Peek(word, 2);
    const uint16_t layoutWord = loadLittleEndian16(word);
    if (layoutWord != kLargestFirst && layoutWord != kLargestLast) return 0;
    stream.Skip(2);
    const int32_t size = ReadInt32(stream);
    // A negative size is taken as no pixel data; the block's eight bytes are consumed.
    if (size > 0) {
        if (static_cast<uint64_t>(size) > stream.PayloadBytesLeft()) ThrowErrorReading();
        // As for the inline bytes: a kept vector too small goes before the larger one is made.
        if (pixelData.capacity() < static_cast<size_t>(size)) std::vector<uint8_t>().swap(pixelData);
        pixelData.resize(static_cast<size_t>(size));
        stream.Read(pixelData.data(), static_cast<uint32_t>(size));
    }
    return layoutWord;
}

int32_t imageCountOf(const CBaseTexture& texture, const DataType& type) {
    if (texture.textureFlags & SixFaces) return 6;
    if (type.name == "CAnimTexture") {
        if (const auto* anim = dynamic_cast<const CAnimTexture*>(&texture)) return std::max(anim->frameCount, 0);
    }
    return 1;
}

UnpackParameters unpackParameters(const CBaseTexture& texture, const StoredFormat& format, int32_t imageCount,
                                  uint16_t layoutWord) {
    UnpackParameters unpack;
    unpack.width = texture.width;
    unpack.height = texture.height;
    unpack.textureFlags = texture.textureFlags;
    unpack.pixelFormat = static_cast<PixelFormat>(format.canonical);
    unpack.bitsPerPixel = format.bitsPerPixel;
    unpack.imageCount = static_cast<uint32_t>(imageCount);
    unpack.layoutWord = layoutWord;
    return unpack;
}

}  // namespace lumenpull
