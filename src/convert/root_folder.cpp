#include "convert/root_folder.h"

#include <vector>

#include "output/folders.h"

namespace lumenpull {
namespace {

// An absolute path taken apart: its root and its names, each "." and empty
// name left out and each ".." taking the name before it away (at the root,
// ".." is the root).
struct PathNames {
    std::string root;
    std::vector<std::string> names;
};

// One spelling per root: "/" for any run of slashes; on Windows "C:\" for
// "C:/" or "C:\\", and "\\server\share" whatever separators it is written with.
std::string rootSpelling(const std::string& root, PathStyle style) {
    if (root.empty()) return root;
    if (style == PathStyle::Posix) return "/";
    const char separator = separatorOf(style);
    if (root.size() >= 2 && isSeparator(root[0], style) && isSeparator(root[1], style)) {
        std::string spelled(2, separator);
        std::size_t i = 2;
        for (int names = 0; names < 2 && i < root.size(); ++names) {
            const std::size_t start = i;
            while (i < root.size() && !isSeparator(root[i], style)) ++i;
            if (names > 0) spelled += separator;
            spelled += root.substr(start, i - start);
            while (i < root.size() && isSeparator(root[i], style)) ++i;
        }
        return spelled;
    }
    const bool drive = root.size() >= 2 && root[1] == ':';
    std::string spelled = drive ? root.substr(0, 2) : std::string();
    if (root.size() > spelled.size()) spelled += separator;
    return spelled;
}

PathNames pathNames(const std::string& path, PathStyle style) {
    PathNames parts;
    const std::size_t rootEnd = rootLength(path, style);
    parts.root = rootSpelling(path.substr(0, rootEnd), style);
    std::size_t i = rootEnd;
    while (i < path.size()) {
        while (i < path.size() && isSeparator(path[i], style)) ++i;
        const std::size_t start = i;
        while (i < path.size() && !isSeparator(path[i], style)) ++i;
        std::string name = path.substr(start, i - start);
        if (name.empty() || name == ".") continue;
        if (name == "..") {
            if (!parts.names.empty()) parts.names.pop_back();
            continue;
        }
        parts.names.push_back(std::move(name));
    }
    return parts;
}

char foldedAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool sameName(const std::string& a, const std::string& b, PathStyle style) {
    if (style == PathStyle::Posix) return a == b;
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (foldedAscii(a[i]) != foldedAscii(b[i])) return false;
    }
    return true;
}

}  // namespace

std::optional<RootFolder> rootFolderAt(const std::string& given) {
    if (!isFolder(given)) return std::nullopt;
    std::string absolute = absolutePath(given);
    if (absolute.empty()) return std::nullopt;
    return RootFolder{given, std::move(absolute)};
}

std::optional<std::string> namesBelow(const std::string& absolutePath, const std::string& absoluteRoot,
                                      PathStyle style) {
    const PathNames path = pathNames(absolutePath, style);
    const PathNames root = pathNames(absoluteRoot, style);
    if (!sameName(path.root, root.root, style) || path.names.size() < root.names.size()) return std::nullopt;
    for (std::size_t i = 0; i < root.names.size(); ++i) {
        if (!sameName(path.names[i], root.names[i], style)) return std::nullopt;
    }
    std::string below;
    for (std::size_t i = root.names.size(); i < path.names.size(); ++i) {
        if (!below.empty()) below += separatorOf(style);
        below += path.names[i];
    }
    return below;
}

std::optional<std::string> pathBelowRoot(const std::string& path, const RootFolder& root) {
    const std::string absolute = absolutePath(path);
    if (absolute.empty()) return std::nullopt;
    return namesBelow(absolute, root.absolute);
}

}  // namespace lumenpull
