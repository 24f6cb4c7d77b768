#include "lumenpull/patch.h"

#include "patch/resource_patch.h"

namespace lumenpull {

std::vector<uint8_t> patch(std::span<const uint8_t> file, std::span<const TextureReplacement> replacements) {
    return patchResource(file, replacements);
}

}  // namespace lumenpull
