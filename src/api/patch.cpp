#include "lumenpull/patch.h"

#include "output/platform_output.h"
#include "patch/resource_patch.h"

namespace lumenpull {

std::vector<uint8_t> patch(std::span<const uint8_t> file, std::span<const TextureReplacement> replacements) {
    return patchResource(file, replacements);
}

void patch(std::span<const uint8_t> file, std::span<const TextureReplacement> replacements, const std::string& path) {
    const std::vector<uint8_t> patched = patchResource(file, replacements);
    TemporaryFile written(path);
    written.write(patched);
    written.close();
    written.putInPlace();
}

}  // namespace lumenpull
