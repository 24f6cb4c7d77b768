#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "unpack/unpack_parameters.h"

namespace lumenpull {

// The inflated bytes in the buffer zlib wrote them to, of which only
// `length` bytes are meaningful.
struct InflatedData {
    std::unique_ptr<uint8_t[]> bytes;
    size_t length = 0;

    std::span<const uint8_t> span() const { return {bytes.get(), length}; }
};

// When the data looks like zlib data (0x78 at offset 0 or, after a four-byte
// prefix, at offset 4), inflates it into at most one and a half times the
// size of the largest images. Nothing when the data stays as it is: it was
// not zlib data after all, is damaged, or inflates to more than that.
std::optional<InflatedData> inflatedPixelData(std::span<const uint8_t> pixelData, const UnpackParameters& p);

// The destination size handed to zlib: the capacity, but never more than
// sourceLength compressed bytes can possibly inflate to, so that a few bytes
// of data with hostile dimensions cannot make us allocate gigabytes.
uint64_t inflationBufferSize(uint32_t capacity, size_t sourceLength);

}  // namespace lumenpull
