#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "unpack/planes.h"

namespace lumenpull {

// Source bytes that the planes of `layout` take: what plane decoding reads.
size_t planeBytesOf(const PlaneLayout& layout);

// Codes layout.elements decoded elements of `decoded` (4-byte pixels, or 8-
// or 16-byte blocks) as delta planes into the start of `planes`, which must
// hold planeBytesOf(layout) bytes: the inverse of plane decoding for every
// byte that decoding takes from the planes. Grey pixels are coded from their
// first byte, which is what a grey picture shows.
void encodePlaneElements(std::span<const uint8_t> decoded, const PlaneLayout& layout, std::span<uint8_t> planes);

}  // namespace lumenpull
