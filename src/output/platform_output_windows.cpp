// The Windows half of the output layer's platform code: temporary files next
// to their final path, put in place by a replacing move, and removed by the
// console handler when the tool is stopped.
#include "output/platform_output.h"

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "output/cleanup_table.h"
#include "output/wide_paths.h"
#include "lumenpull/error.h"

namespace lumenpull {

// The console handler runs on a thread of its own and never interrupts one:
// nothing to hold back.
SignalMask holdEndingSignals() { return {}; }

void restoreSignals(const SignalMask&) {}

[[noreturn]] void waitForTheEnd() {
    for (;;) ::Sleep(INFINITE);
}

}  // namespace lumenpull
namespace lumenpull {
namespace {

// The system's own text for an error code, without the closing period and
// line end, so that it reads like the C library's texts.
std::string reasonText(DWORD error) {
    char* text = nullptr;
    const DWORD length =
        ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, error, 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
    std::string reason =
        length != 0 && text != nullptr ? std::string(text, length) : "system error " + std::to_string(error);
    if (text != nullptr) ::LocalFree(text);
    while (!reason.empty() &&
           (reason.back() == '\n' || reason.back() == '\r' || reason.back() == ' ' || reason.back() == '.')) {
        reason.pop_back();
    }
    return reason;
}

std::string folderOf(const std::string& path) {
    const size_t end = path.find_last_of("\\/:");
    return end == std::string::npos ? std::string() : path.substr(0, end + 1);
}

// What ends an open report line when an interrupt ends the process, line
// end included (the console's, as the text-mode stream writes it).
constexpr char kInterruptedLineEnd[] = "interrupted\r\n";

BOOL WINAPI removeTemporaryFilesAndExit(DWORD event) {
    // Opened with delete sharing, so the file goes as soon as the process does.
    removeRegisteredFiles([](const char* path) { ::DeleteFileA(path); });
    if (reportLineIsOpen()) {
        DWORD written = 0;
        ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), kInterruptedLineEnd, sizeof kInterruptedLineEnd - 1, &written,
                    nullptr);
    }
    ::ExitProcess(event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT ? 128 + 2 : 128 + 15);
    return TRUE;
}

}  // namespace

std::optional<FileIdentity> fileIdentity(const std::string& path) {
    const HANDLE handle = ::CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info{};
    const BOOL known = ::GetFileInformationByHandle(handle, &info);
    ::CloseHandle(handle);
    if (!known) return std::nullopt;
    return FileIdentity{info.dwVolumeSerialNumber,
                        static_cast<uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow};
}

// The narrow file interfaces stop at MAX_PATH (260) anyway; names are
// refused with a clear message at the tool's long-standing limit.
std::size_t longestOutputPath() { return 511; }

struct TemporaryFile::State {
    std::string finalPath;
    std::string path;
    HANDLE handle = INVALID_HANDLE_VALUE;
    int64_t slot = -1;
    bool present = false;  // the temporary file exists under `path`
};

TemporaryFile::TemporaryFile(const std::string& finalPath) : state_(std::make_unique<State>()) {
    State& s = *state_;
    s.finalPath = finalPath;
    const DWORD existing = ::GetFileAttributesA(finalPath.c_str());
    if (existing != INVALID_FILE_ATTRIBUTES && !(existing & FILE_ATTRIBUTE_REPARSE_POINT)) {
        if (existing & FILE_ATTRIBUTE_DIRECTORY) throw Error(creatingError(finalPath, "Is a directory"));
        if (existing & FILE_ATTRIBUTE_READONLY) throw Error(creatingError(finalPath, reasonText(ERROR_ACCESS_DENIED)));
    }
    const std::string folder = folderOf(finalPath);
    const std::string process = std::to_string(::GetCurrentProcessId());
    DWORD error = ERROR_FILE_EXISTS;
    for (int attempt = 0; attempt < kNameAttempts && error == ERROR_FILE_EXISTS; ++attempt) {
        s.path = folder + "." + process + "-" + std::to_string(nextTemporaryNumber()) + kTemporarySuffix;
        s.slot = claimCleanupSlot(s.path.c_str());  // before the change: see claimCleanupSlot
        const TableChange change;
        s.handle = ::CreateFileA(s.path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                 CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (s.handle != INVALID_HANDLE_VALUE) {
            s.present = true;
            return;
        }
        error = ::GetLastError();
        releaseCleanupSlot(s.slot);
    }
    throw Error(creatingError(finalPath, reasonText(error)));
}

TemporaryFile::~TemporaryFile() {
    State& s = *state_;
    if (s.handle != INVALID_HANDLE_VALUE) ::CloseHandle(s.handle);
    const TableChange change;
    if (s.present) ::DeleteFileA(s.path.c_str());
    releaseCleanupSlot(s.slot);
}

void TemporaryFile::write(std::span<const uint8_t> bytes) {
    State& s = *state_;
    while (!bytes.empty()) {
        const auto step = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), std::size_t{1} << 30));
        DWORD written = 0;
        if (!::WriteFile(s.handle, bytes.data(), step, &written, nullptr)) {
            throw Error(writingError(s.finalPath, reasonText(::GetLastError())));
        }
        if (written == 0) throw Error(writingError(s.finalPath, reasonText(ERROR_DISK_FULL)));
        bytes = bytes.subspan(written);
    }
}

void TemporaryFile::restart() {
    State& s = *state_;
    LARGE_INTEGER start{};
    if (!::SetFilePointerEx(s.handle, start, nullptr, FILE_BEGIN) || !::SetEndOfFile(s.handle)) {
        throw Error(writingError(s.finalPath, reasonText(::GetLastError())));
    }
}

void TemporaryFile::close() {
    State& s = *state_;
    const HANDLE handle = s.handle;
    s.handle = INVALID_HANDLE_VALUE;
    if (!::CloseHandle(handle)) throw Error(writingError(s.finalPath, reasonText(::GetLastError())));
}

namespace {

// Moves `from` over `to`. A file cannot be replaced while anyone holds it
// open, even briefly: a virus scanner, an indexer, or another job of this
// run asking which file the name is. Such a refusal is tried again for up to
// a second; a read-only image, refused for good, is not. Returns 0 or the
// error of the last attempt.
DWORD replaceFile(const std::string& from, const std::string& to) {
    constexpr int kAttempts = 100;
    for (int attempt = 1;; ++attempt) {
        if (::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) return 0;
        const DWORD error = ::GetLastError();
        const DWORD attributes = ::GetFileAttributesA(to.c_str());
        const bool readOnly = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
        const bool held = error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION;
        if (!held || readOnly || attempt == kAttempts) return error;
        ::Sleep(10);
    }
}

}  // namespace

void TemporaryFile::putInPlace() {
    State& s = *state_;
    if (const DWORD error = replaceFile(s.path, s.finalPath)) {
        throw Error(creatingError(s.finalPath, reasonText(error)));  // the destructor removes the file
    }
    s.present = false;
    const TableChange change;
    releaseCleanupSlot(s.slot);
}

bool TemporaryFile::putInPlaceAsLinkTo(const std::string& earlier) {
    State& s = *state_;
    const std::optional<FileIdentity> earlierFile = fileIdentity(earlier);
    if (!earlierFile) return false;
    if (fileIdentity(s.finalPath) == earlierFile) return true;  // the destructor removes the copy
    std::wstring earlierWide;
    if (!toWide(earlier, earlierWide)) return false;
    const std::filesystem::path from(earlierWide);
    const std::string folder = folderOf(s.finalPath);
    const std::string process = std::to_string(::GetCurrentProcessId());
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::string linkPath =
            folder + "." + process + "-" + std::to_string(nextTemporaryNumber()) + kTemporarySuffix;
        std::wstring linkWide;
        if (!toWide(linkPath, linkWide)) return false;
        const std::filesystem::path to(linkWide);
        int64_t slot = claimCleanupSlot(linkPath.c_str());  // before the change: see claimCleanupSlot
        std::error_code error;
        {
            const TableChange change;
            std::filesystem::create_hard_link(from, to, error);
            if (error) releaseCleanupSlot(slot);
        }
        if (error == std::errc::file_exists) continue;
        if (error) return false;
        if (const DWORD renameError = replaceFile(linkPath, s.finalPath)) {
            const TableChange change;
            ::DeleteFileA(linkPath.c_str());
            releaseCleanupSlot(slot);
            throw Error(creatingError(s.finalPath, reasonText(renameError)));
        }
        const TableChange change;
        releaseCleanupSlot(slot);
        return true;
    }
    return false;
}

const std::string& TemporaryFile::finalPath() const { return state_->finalPath; }

const std::string& TemporaryFile::temporaryPath() const { return state_->path; }

void installInterruptCleanup() { ::SetConsoleCtrlHandler(removeTemporaryFilesAndExit, TRUE); }

}  // namespace lumenpull
