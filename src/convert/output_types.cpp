#include "convert/output_types.h"

namespace lumenpull {
namespace {

const ImageWriter* findType(std::string_view name) {
    for (const ImageWriter& writer : imageWriters()) {
        if (writer.extension == name) return &writer;
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
        const ImageWriter* entry = findType(token);
        if (entry == nullptr) return "Unknown output type '" + token + "'";
        std::optional<ImageType>& slot = entry->eightBit && entry->highDynamicRange ? both
                                         : entry->eightBit                          ? eightBit
                                                                                    : highDynamicRange;
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

std::string_view extensionOf(ImageType type) { return imageWriter(type).extension; }

}  // namespace lumenpull
