#include "cli/platform_files.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace lumenpull {

PathStatus queryPathStatus(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return (errno == ENOENT || errno == ENOTDIR) ? PathStatus::NotFound : PathStatus::Failed;
    }
    if (S_ISDIR(info.st_mode)) return PathStatus::Directory;
    if (S_ISREG(info.st_mode)) return PathStatus::RegularFile;
    return PathStatus::Other;
}

bool isRealDirectory(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string joinEntryPath(const std::string& parent, const std::string& name) {
    if (!parent.empty() && parent.back() == '/') return parent + name;
    return parent + "/" + name;
}

struct DirectoryReader::Handle {
    DIR* dir = nullptr;
};

DirectoryReader::DirectoryReader(const std::string& path) : handle_(std::make_unique<Handle>()) {
    handle_->dir = ::opendir(path.c_str());
}

DirectoryReader::~DirectoryReader() {
    if (handle_->dir != nullptr) ::closedir(handle_->dir);
}

bool DirectoryReader::next(std::string& name) {
    if (handle_->dir == nullptr) return false;
    while (const dirent* entry = ::readdir(handle_->dir)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
        name = entry->d_name;
        return true;
    }
    // The enumeration is done: close it now, before the caller goes on.
    ::closedir(handle_->dir);
    handle_->dir = nullptr;
    return false;
}

}  // namespace lumenpull
