#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "patch/level_encoding.h"
#include "patch/resource_patch.h"
#include "unpack/unpack_parameters.h"

namespace lumenpull {

// A texture's stored pixel data again with some of its images replaced,
// packed as it was: zlib data compressed again behind the bytes that were in
// front of the stream, plane-coded data coded into planes again, each
// replaced image in the place of the old one in its face's or frame's block.
// A standard mip chain after a largest image is rebuilt from the new image
// (or taken from the replacement's stored levels); any other bytes beside
// the largest images stay as they are.
std::vector<uint8_t> patchedPixelData(std::span<const uint8_t> stored, const UnpackParameters& p,
                                      const StoredForm& form, std::span<const ReplacementImage> images);

}  // namespace lumenpull
