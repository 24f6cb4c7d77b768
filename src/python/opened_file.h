#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "lumenpull/image.h"
#include "lumenpull/patch.h"
#include "lumenpull/resource.h"

namespace lumenpull::python {

// What a Resource object and its Texture objects share: the open Resource,
// the file's bytes (which saving patches: the file on disk may have changed
// or be gone by then) and the images replace() has recorded. The Resource
// and the bytes never change; the replacements change only while the GIL
// is held, and are taken out under it before any work without it.
struct OpenedFile {
    OpenedFile(Resource opened, std::vector<uint8_t> fileBytes)
        : resource(std::move(opened)), bytes(std::move(fileBytes)) {}

    const Resource resource;
    const std::vector<uint8_t> bytes;
    bool closed = false;  // the Resource object is closed: nothing can save any more
    // Texture position -> image index -> new pixels. Shared, so that
    // taking a copy for a save copies no pixels while the GIL is held.
    using Replacements = std::map<std::size_t, std::map<int32_t, std::shared_ptr<const Image>>>;
    Replacements replacements;

    // The library's form of `taken`, a copy of the replacements (no GIL
    // needed: the images never change once recorded).
    static std::vector<TextureReplacement> libraryForm(const Replacements& taken) {
        std::vector<TextureReplacement> list;
        for (const auto& [texture, images] : taken) {
            TextureReplacement& replacement = list.emplace_back();
            replacement.texture = texture;
            for (const auto& [index, image] : images) {
                replacement.images.push_back({.index = index, .pixels = *image, .stored = {}});
            }
        }
        return list;
    }
};

}  // namespace lumenpull::python
