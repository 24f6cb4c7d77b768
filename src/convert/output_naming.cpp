#include "convert/output_naming.h"

#include "writers/image_file_name.h"

namespace lumenpull {
namespace {

constexpr const char* kBigSuffix = "--Big";

// The input's own last name, or nothing when it names no folder of its own.
std::string ownName(const std::string& input, PathStyle style) {
    const size_t root = rootLength(input, style);
    size_t end = input.size();
    while (end > root && isSeparator(input[end - 1], style)) --end;
    size_t start = end;
    while (start > root && !isSeparator(input[start - 1], style)) --start;
    const std::string name = input.substr(start, end - start);
    return name == "." || name == ".." ? std::string() : name;
}

// The names of `text` separated by the style's separators, joined again with
// its own separator; empty names, "." and ".." are left out.
void appendNames(std::string& out, const std::string& text, PathStyle style) {
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && isSeparator(text[i], style)) ++i;
        const size_t start = i;
        while (i < text.size() && !isSeparator(text[i], style)) ++i;
        const std::string name = text.substr(start, i - start);
        if (name.empty() || name == "." || name == "..") continue;
        if (!out.empty()) out += separatorOf(style);
        out += name;
    }
}

// Where the path's last name (its file name) begins: after its last
// separator, or on Windows after a drive's colon.
size_t fileNameStart(const std::string& path, PathStyle style) {
    size_t start = path.size();
    while (start > 0 && !isSeparator(path[start - 1], style) &&
           !(style == PathStyle::Windows && path[start - 1] == ':')) {
        --start;
    }
    return start;
}

// Cuts a path before its extension (from its last dot) or, with noBig,
// before the first "--Big" of its file name: a folder named "pack--Big" is
// an ordinary folder.
std::string withoutExtension(const std::string& path, bool noBig, PathStyle style) {
    size_t end = path.rfind('.');
    if (end == std::string::npos) end = path.size();
    if (noBig) {
        const size_t big = path.find(kBigSuffix, fileNameStart(path, style));
        if (big != std::string::npos) end = big;
    }
    return path.substr(0, end);
}

// `relative` below `folder`. An empty `relative` still gives a path inside
// the folder (ending in a separator), never the folder's own name, to which
// an extension would name a file beside it.
std::string joinUnder(const std::string& folder, const std::string& relative, PathStyle style) {
    const bool ends =
        !folder.empty() && (isSeparator(folder.back(), style) || (style == PathStyle::Windows && folder.back() == ':'));
    return ends ? folder + relative : folder + separatorOf(style) + relative;
}

}  // namespace

std::string mirroredPath(const std::string& input, const std::string& path, PathStyle style) {
    std::string mirrored;
    appendNames(mirrored, ownName(input, style), style);
    // Discovery forms every entry's path by appending to the input.
    if (path.size() > input.size() && path.compare(0, input.size(), input) == 0) {
        appendNames(mirrored, path.substr(input.size()), style);
    }
    return mirrored;
}

ImageBase imageBase(const std::string& input, const std::string& path, const std::optional<std::string>& outputFolder,
                    bool noBig, PathStyle style) {
    if (!outputFolder) return {withoutExtension(path, noBig, style), {}};
    return mirroredImageBase(mirroredPath(input, path, style), *outputFolder, noBig, style);
}

ImageBase mirroredImageBase(const std::string& mirrored, const std::string& outputFolder, bool noBig, PathStyle style) {
    // The cut is made in the mirrored part only: a "--Big" above it is not
    // part of any image's name.
    const std::string relative = withoutExtension(mirrored, noBig, style);
    size_t folderEnd = relative.size();
    while (folderEnd > 0 && !isSeparator(relative[folderEnd - 1], style)) --folderEnd;
    ImageBase base;
    base.name = joinUnder(outputFolder, relative, style);
    base.folder = folderEnd > 0 ? joinUnder(outputFolder, relative.substr(0, folderEnd - 1), style) : outputFolder;
    return base;
}

ImageBase mirroredFilePlace(const std::string& mirrored, const std::string& outputFolder, PathStyle style) {
    size_t folderEnd = mirrored.size();
    while (folderEnd > 0 && !isSeparator(mirrored[folderEnd - 1], style)) --folderEnd;
    ImageBase place;
    place.name = joinUnder(outputFolder, mirrored, style);
    place.folder = folderEnd > 0 ? joinUnder(outputFolder, mirrored.substr(0, folderEnd - 1), style) : outputFolder;
    return place;
}

std::string mirroredBaseName(const std::string& mirrored, bool noBig, PathStyle style) {
    return withoutExtension(mirrored, noBig, style);
}

std::string textureImageName(const std::string& base, bool numbered, uint64_t index) {
    return numbered ? base + "_" + std::to_string(index) : base;
}

std::vector<std::string> imageFileNames(const std::string& textureName, int32_t imageCount, ImageType type) {
    std::vector<std::string> names;
    for (int32_t i = 0; i < imageCount; ++i)
        names.push_back(imageFileName(textureName, i, imageCount, extensionOf(type)));
    return names;
}

}  // namespace lumenpull
