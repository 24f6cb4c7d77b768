#include "output/folders.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace lumenpull {
bool isFolder(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool makeFolders(const std::string& path) {
    // Each prefix that ends before a separator is created in turn; one that
    // exists already is passed over. Whether the whole path is a folder at
    // the end decides.
    if (isFolder(path)) return true;
    for (size_t i = 1; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != '/') continue;
        if (path[i - 1] == '/') continue;
        ::mkdir(path.substr(0, i).c_str(), 0777);
    }
    return isFolder(path);
}

std::string absolutePath(const std::string& path) {
    if (!path.empty() && path.front() == '/') return path;
    std::vector<char> folder(256);
    while (::getcwd(folder.data(), folder.size()) == nullptr) {
        if (errno != ERANGE) return {};
        folder.resize(folder.size() * 2);
    }
    return std::string(folder.data()) + "/" + path;
}

}  // namespace lumenpull
