#pragma once

#include <cstdint>

#include "bytes/little_endian.h"
#include "stream/stream.h"

namespace lumenpull {

// Every integer of a resource file is a little-endian 32-bit word.
inline uint32_t ReadUint32(Stream& stream) {
    uint8_t bytes[4];
    stream.Read(bytes, 4);
    return loadLittleEndian32(bytes);
}

inline int32_t ReadInt32(Stream& stream) { return static_cast<int32_t>(ReadUint32(stream)); }

}  // namespace lumenpull
