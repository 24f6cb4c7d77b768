#include "convert/texture_selection.h"

#include <algorithm>

#include "convert/wildcard_pattern.h"
#include "pixels/pixel_format.h"
#include "pixels/pixel_format_name.h"

namespace lumenpull {
namespace {

std::string lowerCase(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

// Every name the listing gives a format, in lower case.
const std::set<std::string>& formatNames() {
    static const std::set<std::string> names = [] {
        std::set<std::string> all;
        for (const PixelFormat format : {PixelFormat::Rgb8, PixelFormat::Rgba8, PixelFormat::Rgb8B, PixelFormat::Rgba8B,
                                         PixelFormat::Rgba8C, PixelFormat::Grey8, PixelFormat::Rgba8D, PixelFormat::Bc1,
                                         PixelFormat::Bc3, PixelFormat::Block8, PixelFormat::Hdr32, PixelFormat::Bc5}) {
            for (const bool twoChannel : {false, true}) {
                all.insert(lowerCase(pixelFormatName(format, twoChannel)));
            }
        }
        return all;
    }();
    return names;
}

std::optional<TextureSelection::Layout> layoutNamed(const std::string& name) {
    if (name == "single") return TextureSelection::Layout::Single;
    if (name == "cube") return TextureSelection::Layout::Cube;
    if (name == "frames") return TextureSelection::Layout::Frames;
    return std::nullopt;
}

// The last name of a path (what follows its last separator).
std::string lastName(const std::string& path, PathStyle style) {
    std::size_t start = path.size();
    while (start > 0 && !isSeparator(path[start - 1], style)) --start;
    return path.substr(start);
}

bool hasSeparator(const std::string& pattern, PathStyle style) {
    return std::any_of(pattern.begin(), pattern.end(), [&](char c) { return isSeparator(c, style); });
}

}  // namespace

bool TextureSelection::active() const {
    return !namePatterns.empty() || !formats.empty() || !layouts.empty() || minSize != 0;
}

bool TextureSelection::chooses(const std::string& name, const std::string& formatName, Layout layout, int32_t width,
                               int32_t height, PathStyle style) const {
    if (!formats.empty() && formats.count(lowerCase(formatName)) == 0) return false;
    if (!layouts.empty() && layouts.count(layout) == 0) return false;
    const uint32_t largerSide =
        std::max(uint32_t{static_cast<uint16_t>(width)}, uint32_t{static_cast<uint16_t>(height)});
    if (largerSide < minSize) return false;
    if (namePatterns.empty()) return true;
    const std::string last = lastName(name, style);
    return std::any_of(namePatterns.begin(), namePatterns.end(), [&](const std::string& pattern) {
        return wildcardMatch(pattern, hasSeparator(pattern, style) ? name : last, style);
    });
}

std::optional<std::string> TextureSelection::addKinds(const std::string& list) {
    std::size_t i = 0;
    bool any = false;
    while (i < list.size()) {
        while (i < list.size() && (list[i] == ' ' || list[i] == ',')) ++i;
        const std::size_t start = i;
        while (i < list.size() && list[i] != ' ' && list[i] != ',') ++i;
        if (i == start) break;
        const std::string kind = lowerCase(list.substr(start, i - start));
        any = true;
        if (const auto layout = layoutNamed(kind)) {
            layouts.insert(*layout);
        } else if (formatNames().count(kind) != 0) {
            formats.insert(kind);
        } else {
            return "Unknown kind '" + list.substr(start, i - start) +
                   "' for --only: expected a pixel format as the listing names it (such as BC1 or BGRA8), cube, "
                   "frames or single";
        }
    }
    if (!any) return std::string("No kinds given for --only");
    return std::nullopt;
}

std::optional<uint32_t> parseMinSize(const std::string& text) {
    if (text.empty() || text.size() > 5) return std::nullopt;
    uint32_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<uint32_t>(c - '0');
    }
    if (value > 65535) return std::nullopt;
    return value;
}

}  // namespace lumenpull
