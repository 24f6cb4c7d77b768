#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "lumenpull/texture.h"

namespace lumenpull {

namespace detail {
struct ResourceData;
}

// An open resource file: its textures, read as the tool reads them, with
// their stored pixel data held in memory.
//
// Opening reads the whole file and throws lumenpull::Error with the message
// the tool reports for it ("error opening reading stream: ...", "error
// reading meta data: ...", "Error reading", ...). A texture whose pixel
// format code is unknown ends the reading, as it ends the tool's conversion:
// it is the last texture, with info().rejected set, and rejection() gives
// the tool's message for the file.
//
// Thread safety: a Resource and its Textures keep no state that changes
// after opening, and the library has no global state; distinct Resources
// may be used from different threads at once, and so may the const
// functions of one Resource.
class Resource {
public:
    static Resource open(const std::string& path);
    // The bytes of a resource file (any container kind), taken over or copied.
    static Resource fromMemory(std::vector<uint8_t> bytes);
    static Resource fromMemory(std::span<const uint8_t> bytes);

    Resource(Resource&&) noexcept;
    Resource& operator=(Resource&&) noexcept;
    ~Resource();

    // The textures with a body in the file, in file order (those the tool
    // lists).
    std::span<const Texture> textures() const;
    // The texture objects the file declares (the count the tool reports).
    uint64_t textureObjects() const;
    // "Invalid texture format N" when a rejected texture ended the reading.
    std::optional<std::string> rejection() const;

private:
    explicit Resource(std::unique_ptr<detail::ResourceData> data);

    std::unique_ptr<detail::ResourceData> data_;
};

}  // namespace lumenpull
