#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "unpack/buffer_pool.h"
#include "unpack/byte_block.h"
#include "unpack/unpack_parameters.h"

namespace lumenpull {

// The inflated bytes (`bytes`) and the block zlib wrote them to, which
// may be larger.
struct InflatedData {
    ByteBlock block;
    std::span<uint8_t> bytes;

    std::span<const uint8_t> span() const { return bytes; }
};

// When the data looks like zlib data (0x78 at offset 0 or, after a four-byte
// prefix, at offset 4), inflates it into at most one and a half times the
// size of the largest images. Nothing when the data stays as it is: it was
// not zlib data after all, is damaged, or inflates to more than that.
// The block comes from `buffers`, and goes back there when the data stays.
std::optional<InflatedData> inflatedPixelData(std::span<const uint8_t> pixelData, const UnpackParameters& p,
                                              BufferPool& buffers);

// The destination size handed to zlib: the capacity, but never more than
// sourceLength compressed bytes can possibly inflate to, so that a few bytes
// of data with hostile dimensions cannot make us allocate gigabytes.
uint64_t inflationBufferSize(uint32_t capacity, size_t sourceLength);

}  // namespace lumenpull
