#include "cli/output_types.h"

#include <array>

namespace lumenpull {
namespace {

struct TypeEntry {
    std::string_view name;
    ImageType type;
    bool eightBit;          // serves 8-bit pictures
    bool highDynamicRange;  // serves high-dynamic-range pictures
};

// One line per type; a type that serves both kinds lists both.
constexpr std::array kTypes{
    TypeEntry{"tga", ImageType::Tga, true, false},
    TypeEntry{"png", ImageType::Png, true, false},
    TypeEntry{"hdr", ImageType::Hdr, false, true},
};

const TypeEntry* findType(std::string_view name) {
    for (const TypeEntry& entry : kTypes) {
        if (entry.name == name) return &entry;
    }
    return nullptr;
}

}  // namespace

std::optional<std::string> parseImageTypes(const std::string& list, ImageTypes& types) {
    ImageTypes chosen;
    bool any = false;
    size_t i = 0;
    while (i < list.size()) {
        while (i < list.size() && list[i] == ' ') ++i;
        const size_t start = i;
        while (i < list.size() && list[i] != ' ') ++i;
        if (i == start) continue;
        const std::string token = list.substr(start, i - start);
        const TypeEntry* entry = findType(token);
        if (entry == nullptr) return "Unknown output type '" + token + "'";
        // Every kind has one type: a later name for the same kind replaces
        // an earlier one.
        if (entry->eightBit) chosen.eightBit = entry->type;
        if (entry->highDynamicRange) chosen.highDynamicRange = entry->type;
        any = true;
    }
    if (!any) return std::string("No output types given");
    types = chosen;
    return std::nullopt;
}

std::string_view extensionOf(ImageType type) {
    for (const TypeEntry& entry : kTypes) {
        if (entry.type == type) return entry.name;
    }
    return {};
}

}  // namespace lumenpull
