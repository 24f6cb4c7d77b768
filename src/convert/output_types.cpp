#include "convert/output_types.h"

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
    TypeEntry{"dds", ImageType::Dds, true, true},
    TypeEntry{"exr", ImageType::Exr, false, true},
};

const TypeEntry* findType(std::string_view name) {
    for (const TypeEntry& entry : kTypes) {
        if (entry.name == name) return &entry;
    }
    return nullptr;
}

}  // namespace

std::optional<std::string> parseImageTypes(const std::string& list, ImageTypes& types) {
    // What each kind was given by a type of its own, and by a type serving both.
    std::optional<ImageType> eightBit, highDynamicRange, both;
    size_t i = 0;
    while (i < list.size()) {
        while (i < list.size() && list[i] == ' ') ++i;
        const size_t start = i;
        while (i < list.size() && list[i] != ' ') ++i;
        if (i == start) continue;
        const std::string token = list.substr(start, i - start);
        const TypeEntry* entry = findType(token);
        if (entry == nullptr) return "Unknown output type '" + token + "'";
        std::optional<ImageType>& slot =
            entry->eightBit && entry->highDynamicRange ? both : entry->eightBit ? eightBit : highDynamicRange;
        if (slot) return std::string("Two output types for one kind of texture");
        slot = entry->type;
    }
    if (!eightBit && !highDynamicRange && !both) return std::string("No output types given");
    ImageTypes chosen;
    chosen.eightBit = eightBit.value_or(both.value_or(chosen.eightBit));
    chosen.highDynamicRange = highDynamicRange.value_or(both.value_or(chosen.highDynamicRange));
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
