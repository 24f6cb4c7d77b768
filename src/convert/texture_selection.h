#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "convert/path_style.h"

namespace lumenpull {

// Which textures a run writes (--name, --only, --min-size). A texture not
// chosen is read as always, keeps its number, and writes nothing.
struct TextureSelection {
    enum class Layout { Single, Cube, Frames };

    std::vector<std::string> namePatterns;  // any of them; none: every name
    std::set<std::string> formats;          // listing names, lower case; none: every format
    std::set<Layout> layouts;               // none: every layout
    uint32_t minSize = 0;                   // the larger side at least this

    // Whether any key restricts the choice: without one, no report changes.
    bool active() const;

    // `name` is the texture's image name as an output folder would place it
    // (its path below the folder, the texture number with it, no extension);
    // a pattern without a separator is matched against its last name only.
    // `formatName` as a listing shows it. Width and height use their low 16
    // bits, as the writers do.
    bool chooses(const std::string& name, const std::string& formatName, Layout layout, int32_t width, int32_t height,
                 PathStyle style = kNativePathStyle) const;

    // Adds the kinds of a --only list (names separated by spaces or commas,
    // any letter case); returns the error line for an unknown one.
    std::optional<std::string> addKinds(const std::string& list);
};

// Reads a --min-size value: decimal digits, 0 to 65535.
std::optional<uint32_t> parseMinSize(const std::string& text);

}  // namespace lumenpull
