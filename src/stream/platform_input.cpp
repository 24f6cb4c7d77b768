#include "stream/platform_input.h"

#include <cerrno>
#include <cstring>

#include "stream/stream_errors.h"

namespace lumenpull {
namespace {

constexpr const char* kDirectory = "Is a directory";
constexpr const char* kNotRegular = "Not a regular file";

}  // namespace
}  // namespace lumenpull

#ifdef _WIN32

#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace lumenpull {

// Windows has no FIFOs in its file name space, and opening a device or pipe
// does not wait; what was opened is checked all the same.
int openRegularFile(const std::string& path, uint64_t& size) {
    const int descriptor = ::_open(path.c_str(), _O_RDONLY | _O_BINARY);
    if (descriptor < 0) {
        const int error = errno;
        const DWORD attributes = ::GetFileAttributesA(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            ThrowErrorOpening(path, kDirectory);
        }
        ThrowErrorOpening(path, std::strerror(error));
    }
    const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(descriptor));
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileType(handle) != FILE_TYPE_DISK || !::GetFileInformationByHandle(handle, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        ::_close(descriptor);
        ThrowErrorOpening(path, kNotRegular);
    }
    size = static_cast<uint64_t>(info.nFileSizeHigh) << 32 | info.nFileSizeLow;
    return descriptor;
}

void closeDescriptor(int descriptor) { ::_close(descriptor); }

}  // namespace lumenpull

#else  // POSIX

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lumenpull {

int openRegularFile(const std::string& path, uint64_t& size) {
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) ThrowErrorOpening(path, std::strerror(errno));
    struct stat info {};
    const char* refusal = nullptr;
    if (::fstat(descriptor, &info) != 0)
        refusal = std::strerror(errno);
    else if (S_ISDIR(info.st_mode))
        refusal = kDirectory;
    else if (!S_ISREG(info.st_mode))
        refusal = kNotRegular;
    if (refusal != nullptr) {
        const std::string reason = refusal;
        ::close(descriptor);
        ThrowErrorOpening(path, reason);
    }
    // Reads of a regular file never wait anyway; the descriptor goes back to
    // the ordinary blocking mode.
    const int flags = ::fcntl(descriptor, F_GETFL);
    if (flags >= 0) ::fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK);
    size = static_cast<uint64_t>(info.st_size);
    return descriptor;
}

void closeDescriptor(int descriptor) { ::close(descriptor); }

}  // namespace lumenpull

#endif
