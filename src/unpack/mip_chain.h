#pragma once

#include <cstdint>
#include <vector>

#include "unpack/buffer_pool.h"
#include "unpack/pixel_unpacking.h"
#include "unpack/unpack_parameters.h"

namespace lumenpull {

// The number of mip levels each face or frame of `length` unpacked bytes
// holds when its block is exactly the largest image followed by the
// standard chain of smaller levels (storedLevelBytes), the largest image
// first (layout word 0). A chain may stop before 1 × 1. 1 in every other
// case: the largest image last (the order of its smaller levels is not
// known), rest bytes that are no such chain, no smaller levels at all, and
// the undecoded 8-bit block format.
uint32_t storedMipLevels(uint64_t length, const UnpackParameters& p);

// A texture's unpacked images with, when storedMipLevels finds a chain, all
// their levels in stored order.
struct UnpackedLevels {
    UnpackedPixels pixels;
    uint32_t levels;  // per face or frame; 1: the largest images only
};

// Unpacks as unpackedPixels does, but keeps the smaller levels of each face
// or frame when they form a standard chain. Its buffers come from and go
// back to `buffers`, as there.
UnpackedLevels unpackedWithMipChain(std::vector<uint8_t> stored, const UnpackParameters& p, BufferPool& buffers);

}  // namespace lumenpull
