#include "output/folders.h"

#include <windows.h>

#include "output/wide_paths.h"

namespace lumenpull {
bool isFolder(const std::string& path) {
    std::wstring wide;
    if (!toWide(path, wide)) return false;
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool makeFolders(const std::string& path) {
    // Each prefix that ends before a separator is created in turn. Prefixes
    // that cannot be created (a drive, \\server) are passed over: only
    // whether the whole path is a folder at the end counts.
    if (isFolder(path)) return true;
    for (size_t i = 1; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != '\\' && path[i] != '/') continue;
        const std::string prefix = path.substr(0, i);
        if (isFolder(prefix)) continue;
        std::wstring wide;
        if (toWide(prefix, wide)) ::CreateDirectoryW(wide.c_str(), nullptr);
    }
    return isFolder(path);
}

std::string absolutePath(const std::string& path) {
    std::wstring wide;
    if (path.empty() || !toWide(path, wide)) return {};
    // The system's own rule, which knows each drive's current folder. It
    // also takes out "." and ".." by the text alone, as the root rule does.
    const DWORD length = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (length == 0) return {};
    std::wstring full(length, L'\0');
    const DWORD written = ::GetFullPathNameW(wide.c_str(), length, full.data(), nullptr);
    if (written == 0 || written >= length) return {};
    full.resize(written);
    std::string narrow;
    return toNarrow(full, narrow) ? narrow : std::string();
}

}  // namespace lumenpull
