#pragma once

#include <cstdint>
#include <vector>

#include "pixels/pixel_format.h"
#include "resource/data_type.h"
#include "resource/objects.h"
#include "stream/stream.h"
#include "unpack/unpack_parameters.h"

namespace lumenpull {

// What the conversion, the listing and the library read of a texture body
// beyond its fields, so that all of them see the same textures.

// A body whose inline pixel array is empty may be followed by a pixel block:
// a layout word of 0x0000 or 0x0100, an i32 byte count and the bytes. Any
// other word means there is no block, and it is only peeked. Returns the word
// when a block was read, 0 otherwise.
uint16_t readTrailingPixelBlock(Stream& stream, std::vector<uint8_t>& pixelData);

// Six faces for a cube; the frame count for a type named exactly
// CAnimTexture (a differently named descendant has one image); one otherwise.
// A negative frame count gives no images.
int32_t imageCountOf(const CBaseTexture& texture, const DataType& type);

// What unpacking a texture of this normalised format takes.
UnpackParameters unpackParameters(const CBaseTexture& texture, const StoredFormat& format, int32_t imageCount,
                                  uint16_t layoutWord);

}  // namespace lumenpull
