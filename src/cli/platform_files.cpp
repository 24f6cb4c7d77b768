#include "cli/platform_files.h"

#ifdef _WIN32

#include <windows.h>

#include <cerrno>
#include <cstring>

#include "cli/printable_text.h"
#include "output/wide_paths.h"

namespace lumenpull {
namespace {

bool endsWithSeparator(const std::string& path) {
    return !path.empty() && (path.back() == '\\' || path.back() == '/' || path.back() == ':');
}

constexpr size_t kPathLimit = MAX_PATH;  // 260, terminator included

// The words the C library uses for the same faults, so that a report reads
// alike on every platform.
std::string reasonText(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND: return std::strerror(ENOENT);
        case ERROR_ACCESS_DENIED: return std::strerror(EACCES);
        case ERROR_DIRECTORY: return std::strerror(ENOTDIR);
        case ERROR_FILENAME_EXCED_RANGE: return std::strerror(ENAMETOOLONG);
        default: break;
    }
    return "system error " + std::to_string(error);
}

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

std::string pathFailureReason(const std::string& path) {
    std::wstring wide;
    if (!toWide(path, wide)) return std::strerror(EILSEQ);
    if (::GetFileAttributesW(wide.c_str()) != INVALID_FILE_ATTRIBUTES) return {};
    return reasonText(::GetLastError());
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

std::optional<std::string> outputFolderProblem(const std::string& path) {
    // The folder itself, else the nearest path above it that exists. Rights
    // a folder's access list withholds show only when writing is tried, and
    // are reported per file then.
    std::string existing = path;
    for (;;) {
        std::wstring wide;
        if (!toWide(existing, wide)) return std::strerror(EILSEQ);
        const DWORD attributes = ::GetFileAttributesW(wide.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES) {
            if (attributes & FILE_ATTRIBUTE_DIRECTORY) return std::nullopt;
            return std::strerror(ENOTDIR);
        }
        const DWORD error = ::GetLastError();
        const size_t separator = existing.find_last_of("\\/:");
        if ((error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) || existing == ".") {
            return reasonText(error);
        }
        if (separator == std::string::npos) {
            existing = std::string(1, '.');  // not a literal: GCC 12 warns falsely on that copy at -O3
        } else if (separator == 0 || existing[separator] == ':') {
            const std::string above = existing.substr(0, separator + 1);  // a root or a drive: kept whole
            if (above == existing) return reasonText(error);
            existing = above;
        } else {
            existing.resize(separator);
        }
    }
}

struct DirectoryReader::Handle {
    HANDLE find = INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAW data{};
    bool pending = false;  // `data` holds an entry not handed out yet
    std::string parent;
    std::ostream* report = nullptr;
    std::optional<std::string> failure;
};

DirectoryReader::DirectoryReader(const std::string& path, std::ostream& report) : handle_(std::make_unique<Handle>()) {
    handle_->parent = path;
    handle_->report = &report;
    std::wstring wide;
    if (!toWide(endsWithSeparator(path) ? path + "*" : path + "\\*", wide)) return;
    handle_->find = ::FindFirstFileW(wide.c_str(), &handle_->data);
    handle_->pending = handle_->find != INVALID_HANDLE_VALUE;
    if (!handle_->pending) handle_->failure = reasonText(::GetLastError());
}

DirectoryReader::~DirectoryReader() {
    if (handle_->find != INVALID_HANDLE_VALUE) ::FindClose(handle_->find);
}

bool DirectoryReader::next(std::string& name) {
    while (handle_->find != INVALID_HANDLE_VALUE) {
        if (!handle_->pending && !::FindNextFileW(handle_->find, &handle_->data)) {
            if (const DWORD error = ::GetLastError(); error != ERROR_NO_MORE_FILES)
                handle_->failure = reasonText(error);
            break;
        }
        handle_->pending = false;
        const std::wstring wide = handle_->data.cFileName;
        if (wide == L"." || wide == L"..") continue;
        if (!toNarrow(wide, name)) {
            *handle_->report << printable(handle_->parent)
                             << ": skipped an entry whose name is not in the system code page" << std::endl;
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

const std::optional<std::string>& DirectoryReader::failure() const { return handle_->failure; }

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

std::string pathFailureReason(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? std::string() : std::string(std::strerror(errno));
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

std::optional<std::string> outputFolderProblem(const std::string& path) {
    // The folder itself, else the nearest path above it that exists, where
    // the missing folders would be made.
    std::string existing = path;
    struct stat info {};
    while (::stat(existing.c_str(), &info) != 0) {
        if (errno != ENOENT || existing == ".") return std::strerror(errno);
        const size_t separator = existing.rfind('/');
        if (separator == std::string::npos) {
            existing = std::string(1, '.');  // not a literal: GCC 12 warns falsely on that copy at -O3
        } else if (separator == 0) {
            existing = std::string(1, '/');
        } else {
            existing.resize(separator);
        }
    }
    if (!S_ISDIR(info.st_mode)) return std::strerror(ENOTDIR);
    if (::access(existing.c_str(), W_OK | X_OK) != 0) return std::strerror(errno);
    return std::nullopt;
}

struct DirectoryReader::Handle {
    DIR* dir = nullptr;
    std::optional<std::string> failure;
};

DirectoryReader::DirectoryReader(const std::string& path, std::ostream&) : handle_(std::make_unique<Handle>()) {
    handle_->dir = ::opendir(path.c_str());
    if (handle_->dir == nullptr) handle_->failure = std::strerror(errno);
}

DirectoryReader::~DirectoryReader() {
    if (handle_->dir != nullptr) ::closedir(handle_->dir);
}

bool DirectoryReader::next(std::string& name) {
    if (handle_->dir == nullptr) return false;
    // readdir tells the end from a failure only by errno.
    errno = 0;
    while (const dirent* entry = ::readdir(handle_->dir)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
        name = entry->d_name;
        return true;
    }
    if (errno != 0) handle_->failure = std::strerror(errno);
    // The enumeration is done: close it now, before the caller goes on.
    ::closedir(handle_->dir);
    handle_->dir = nullptr;
    return false;
}

const std::optional<std::string>& DirectoryReader::failure() const { return handle_->failure; }

}  // namespace lumenpull

#endif
