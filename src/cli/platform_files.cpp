#include "cli/platform_files.h"

#ifdef _WIN32

#include <windows.h>

#include "output/wide_paths.h"

#include "cli/printable_text.h"

namespace lumenpull {
namespace {

bool endsWithSeparator(const std::string& path) {
    return !path.empty() && (path.back() == '\\' || path.back() == '/' || path.back() == ':');
}

constexpr size_t kPathLimit = MAX_PATH;  // 260, terminator included

}  // namespace

PathStatus queryPathStatus(const std::string& path) {
    std::wstring wide;
    if (!toWide(path, wide)) return PathStatus::Failed;
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = ::GetLastError();
        return (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) ? PathStatus::NotFound
                                                                                : PathStatus::Failed;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return PathStatus::Directory;
    return PathStatus::RegularFile;
}

bool isRealDirectory(const std::string& path) {
    std::wstring wide;
    if (!toWide(path, wide)) return false;
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
           !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

std::size_t fileNameStart(const std::string& path) {
    const size_t separator = path.find_last_of("\\/:");
    return separator == std::string::npos ? 0 : separator + 1;
}

std::string joinEntryPath(const std::string& parent, const std::string& name) {
    std::string appended = name;
    for (char& c : appended) {
        if (c == '/') c = '\\';
    }
    return endsWithSeparator(parent) ? parent + appended : parent + "\\" + appended;
}

struct DirectoryReader::Handle {
    HANDLE find = INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAW data{};
    bool pending = false;  // `data` holds an entry not handed out yet
    std::string parent;
    std::ostream* report = nullptr;
};

DirectoryReader::DirectoryReader(const std::string& path, std::ostream& report) : handle_(std::make_unique<Handle>()) {
    handle_->parent = path;
    handle_->report = &report;
    std::wstring wide;
    if (!toWide(endsWithSeparator(path) ? path + "*" : path + "\\*", wide)) return;
    handle_->find = ::FindFirstFileW(wide.c_str(), &handle_->data);
    handle_->pending = handle_->find != INVALID_HANDLE_VALUE;
}

DirectoryReader::~DirectoryReader() {
    if (handle_->find != INVALID_HANDLE_VALUE) ::FindClose(handle_->find);
}

bool DirectoryReader::next(std::string& name) {
    while (handle_->find != INVALID_HANDLE_VALUE) {
        if (!handle_->pending && !::FindNextFileW(handle_->find, &handle_->data)) break;
        handle_->pending = false;
        const std::wstring wide = handle_->data.cFileName;
        if (wide == L"." || wide == L"..") continue;
        if (!toNarrow(wide, name)) {
            *handle_->report << printable(handle_->parent) << ": skipped an entry whose name is not in the system code page"
                      << std::endl;
            continue;
        }
        if (joinEntryPath(handle_->parent, name).size() >= kPathLimit) {
            *handle_->report << printable(joinEntryPath(handle_->parent, name)) << ": skipped, path longer than "
                      << (kPathLimit - 1) << " characters" << std::endl;
            continue;
        }
        return true;
    }
    if (handle_->find != INVALID_HANDLE_VALUE) {
        ::FindClose(handle_->find);
        handle_->find = INVALID_HANDLE_VALUE;
    }
    return false;
}

}  // namespace lumenpull

#else  // POSIX

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

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

std::size_t fileNameStart(const std::string& path) {
    const size_t separator = path.rfind('/');
    return separator == std::string::npos ? 0 : separator + 1;
}

std::string joinEntryPath(const std::string& parent, const std::string& name) {
    if (!parent.empty() && parent.back() == '/') return parent + name;
    return parent + "/" + name;
}

struct DirectoryReader::Handle {
    DIR* dir = nullptr;
};

DirectoryReader::DirectoryReader(const std::string& path, std::ostream&) : handle_(std::make_unique<Handle>()) {
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

#endif
