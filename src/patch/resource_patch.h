#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "lumenpull/patch.h"

namespace lumenpull {

// The whole resource file `file` again with the named textures' pixel data
// re-encoded in the form each texture had; every other byte stays as it was
// but the sizes and counts that depend on the new data. Throws
// lumenpull::Error with a one-line message for what cannot be done (e.g.
// "Image size 512x512 does not match the texture's 1024x1024").
// (TextureReplacement and ReplacementImage are the library's own types.)
std::vector<uint8_t> patchResource(std::span<const uint8_t> file, std::span<const TextureReplacement> replacements);

}  // namespace lumenpull
