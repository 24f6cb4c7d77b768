#include "image/platform_output.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <functional>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#endif

namespace lumenpull {
namespace {

#ifdef _WIN32
// The console handler runs on a thread of its own and never interrupts one.
struct InterruptsHeld {};

[[noreturn]] void waitForTheEnd() {
    for (;;) ::Sleep(INFINITE);
}
#else
// The signals that end the tool after removing its temporary files: an
// interrupt, a request to stop, a closed terminal, and a closed pipe on the
// report's side (`lumenpull -j 4 -r game | head` ends while images are on
// their way).
constexpr std::array<int, 4> EndingSignals{SIGINT, SIGTERM, SIGHUP, SIGPIPE};

sigset_t endingSignalSet() {
    sigset_t set;
    sigemptyset(&set);
    for (const int signalNumber : EndingSignals) sigaddset(&set, signalNumber);
    return set;
}

// Holds back the ending signals on this thread while it changes the table of
// temporary files below, so that the handler never runs in the middle of it.
class InterruptsHeld {
public:
    InterruptsHeld() {
        const sigset_t held = endingSignalSet();
        pthread_sigmask(SIG_BLOCK, &held, &previous_);
    }
    ~InterruptsHeld() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
    InterruptsHeld(const InterruptsHeld&) = delete;
    InterruptsHeld& operator=(const InterruptsHeld&) = delete;

private:
    sigset_t previous_;
};

[[noreturn]] void waitForTheEnd() {
    for (;;) ::pause();
}
#endif

// The interrupt handler can reach nothing but static storage: the paths of
// the temporary files in existence live in a table of fixed-size blocks
// (each slot points into its TemporaryFile's own string while the file
// exists). The first block is static; further blocks are chained on when
// every slot is taken, which happens when conversions on several threads
// keep their finished images until their turn to be put in place. A block
// is never freed, so the handler can walk the chain with plain atomic loads
// at any moment.
struct CleanupBlock {
    static constexpr int64_t kSlots = 64;
    std::atomic<const char*> paths[kSlots];
    std::atomic<CleanupBlock*> next{nullptr};
};
CleanupBlock firstCleanupBlock;

// Claimed outside a TableChange, before the file behind it exists (a
// handler that finds the path first has nothing to remove yet): it may chain
// on a block, an allocation, and an interrupt handler waiting for the change
// to end may have interrupted a thread holding the allocator's lock.
int64_t claimCleanupSlot(const char* path) {
    int64_t base = 0;
    for (CleanupBlock* block = &firstCleanupBlock;; base += CleanupBlock::kSlots) {
        for (int64_t i = 0; i < CleanupBlock::kSlots; ++i) {
            const char* expected = nullptr;
            if (block->paths[i].compare_exchange_strong(expected, path)) return base + i;
        }
        CleanupBlock* next = block->next.load();
        if (next == nullptr) {
            auto grown = std::make_unique<CleanupBlock>();
            if (block->next.compare_exchange_strong(next, grown.get())) {
                next = grown.release();  // owned by the chain for the rest of the process
            }
            // Otherwise another thread chained one on first: `next` is that one.
        }
        block = next;
    }
}

std::atomic<const char*>& cleanupSlot(int64_t slot) {
    CleanupBlock* block = &firstCleanupBlock;
    for (; slot >= CleanupBlock::kSlots; slot -= CleanupBlock::kSlots) block = block->next.load();
    return block->paths[slot];
}

void releaseCleanupSlot(int64_t& slot) {
    if (slot >= 0) cleanupSlot(slot).store(nullptr);
    slot = -1;
}

// An interrupt handler may run on one thread while others enter or leave the
// table (and create or remove the files behind the entries). It first says
// so, then waits until no change is in progress, and only then reads the
// table: it never misses a file that exists, nor reads a path whose string is
// being freed. A change that begins after that waits for the process to end.
std::atomic<bool> interruptSeen{false};
std::atomic<int> tableChanges{0};

// Whoever releases a slot, or creates or removes the file behind one, does
// so inside a TableChange, and never inside two at once. (A slot is claimed
// before its file is created, outside.) Nothing inside a change allocates or
// takes a lock.
class TableChange {
public:
    TableChange() {
        ++tableChanges;
        if (interruptSeen.load()) {
            --tableChanges;
            waitForTheEnd();
        }
    }
    ~TableChange() { --tableChanges; }
    TableChange(const TableChange&) = delete;
    TableChange& operator=(const TableChange&) = delete;

private:
    InterruptsHeld held_;  // first in, last out
};

// For the interrupt handler: atomic operations only. The thread it runs on
// is never inside a TableChange (interrupts are held there).
template <typename RemoveFile>
void removeRegisteredFiles(RemoveFile remove) {
    interruptSeen.store(true);
    while (tableChanges.load() != 0) {
    }
    for (CleanupBlock* block = &firstCleanupBlock; block != nullptr; block = block->next.load()) {
        for (auto& slot : block->paths) {
            if (const char* path = slot.load()) remove(path);
        }
    }
}

constexpr const char* kTemporarySuffix = ".lumenpull-tmp";
constexpr int kNameAttempts = 1000;

std::string creatingError(const std::string& finalPath, const std::string& reason) {
    return "Error creating output file: " + finalPath + ": " + reason;
}

std::string writingError(const std::string& finalPath, const std::string& reason) {
    return "Error writing output file: " + finalPath + ": " + reason;
}

// Tells the temporary files of one process apart; the process number tells
// those of concurrent runs apart.
std::atomic<unsigned> temporaryCounter{0};

// Set while a report line is begun on standard output and not ended (see
// InterruptedLineEnd). Static like the table above, for the same reason:
// the interrupt handler reaches nothing else.
std::atomic<bool> reportLineOpen{false};

// What ends an open report line when an interrupt ends the process, line
// end included (the console's on Windows, as the text-mode stream writes it).
#ifdef _WIN32
constexpr char kInterruptedLineEnd[] = "interrupted\r\n";
#else
constexpr char kInterruptedLineEnd[] = "interrupted\n";
#endif

}  // namespace

InterruptedLineEnd::InterruptedLineEnd(const std::function<void()>& beginLine) {
    // With the signals held, an interrupt finds the line either not begun
    // or begun and marked open, never begun and unmarked.
    const InterruptsHeld held;
    beginLine();
    reportLineOpen.store(true);
}

InterruptedLineEnd::~InterruptedLineEnd() { reportLineOpen.store(false); }

}  // namespace lumenpull

#ifdef _WIN32

namespace lumenpull {
namespace {

// The system's own text for an error code, without the closing period and
// line end, so that it reads like the C library's texts.
std::string reasonText(DWORD error) {
    char* text = nullptr;
    const DWORD length =
        ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, error, 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
    std::string reason = length != 0 && text != nullptr ? std::string(text, length) : "system error " + std::to_string(error);
    if (text != nullptr) ::LocalFree(text);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == ' ' ||
                               reason.back() == '.')) {
        reason.pop_back();
    }
    return reason;
}

std::string folderOf(const std::string& path) {
    const size_t end = path.find_last_of("\\/:");
    return end == std::string::npos ? std::string() : path.substr(0, end + 1);
}

BOOL WINAPI removeTemporaryFilesAndExit(DWORD event) {
    // Opened with delete sharing, so the file goes as soon as the process does.
    removeRegisteredFiles([](const char* path) { ::DeleteFileA(path); });
    if (reportLineOpen.load()) {
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
        if (existing & FILE_ATTRIBUTE_DIRECTORY) throw creatingError(finalPath, "Is a directory");
        if (existing & FILE_ATTRIBUTE_READONLY) throw creatingError(finalPath, reasonText(ERROR_ACCESS_DENIED));
    }
    const std::string folder = folderOf(finalPath);
    const std::string process = std::to_string(::GetCurrentProcessId());
    DWORD error = ERROR_FILE_EXISTS;
    for (int attempt = 0; attempt < kNameAttempts && error == ERROR_FILE_EXISTS; ++attempt) {
        s.path = folder + "." + process + "-" + std::to_string(temporaryCounter++) + kTemporarySuffix;
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
    throw creatingError(finalPath, reasonText(error));
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
            throw writingError(s.finalPath, reasonText(::GetLastError()));
        }
        if (written == 0) throw writingError(s.finalPath, reasonText(ERROR_DISK_FULL));
        bytes = bytes.subspan(written);
    }
}

void TemporaryFile::restart() {
    State& s = *state_;
    LARGE_INTEGER start{};
    if (!::SetFilePointerEx(s.handle, start, nullptr, FILE_BEGIN) || !::SetEndOfFile(s.handle)) {
        throw writingError(s.finalPath, reasonText(::GetLastError()));
    }
}

void TemporaryFile::close() {
    State& s = *state_;
    const HANDLE handle = s.handle;
    s.handle = INVALID_HANDLE_VALUE;
    if (!::CloseHandle(handle)) throw writingError(s.finalPath, reasonText(::GetLastError()));
}

void TemporaryFile::putInPlace() {
    State& s = *state_;
    // A file cannot be replaced while anyone holds it open, even briefly: a
    // virus scanner, an indexer, or another job of this run asking which file
    // the name is. Such a refusal is tried again for up to a second; a
    // read-only image, refused for good, is not.
    constexpr int kAttempts = 100;
    for (int attempt = 1;; ++attempt) {
        if (::MoveFileExA(s.path.c_str(), s.finalPath.c_str(), MOVEFILE_REPLACE_EXISTING)) break;
        const DWORD error = ::GetLastError();
        const DWORD attributes = ::GetFileAttributesA(s.finalPath.c_str());
        const bool readOnly = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
        const bool held = error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION;
        if (!held || readOnly || attempt == kAttempts) {
            throw creatingError(s.finalPath, reasonText(error));  // the destructor removes the file
        }
        ::Sleep(10);
    }
    s.present = false;
    const TableChange change;
    releaseCleanupSlot(s.slot);
}

const std::string& TemporaryFile::finalPath() const { return state_->finalPath; }

void installInterruptCleanup() { ::SetConsoleCtrlHandler(removeTemporaryFilesAndExit, TRUE); }

}  // namespace lumenpull

#else  // POSIX

namespace lumenpull {
namespace {

std::string reasonText(int error) { return std::strerror(error); }

std::string folderOf(const std::string& path) {
    const size_t end = path.rfind('/');
    return end == std::string::npos ? std::string() : path.substr(0, end + 1);
}

// Only async-signal-safe calls: unlink, write and _exit.
extern "C" void removeTemporaryFilesAndExit(int signalNumber) {
    removeRegisteredFiles([](const char* path) { ::unlink(path); });
    if (reportLineOpen.load()) {
        // Nothing can be done about a write that fails now (a closed pipe).
        [[maybe_unused]] const ssize_t written =
            ::write(STDOUT_FILENO, kInterruptedLineEnd, sizeof kInterruptedLineEnd - 1);
    }
    ::_exit(128 + signalNumber);
}

// A file nobody may write (no write permission bit at all, or none for us)
// was protected on purpose: it is not replaced, for root neither.
bool isProtected(const std::string& path, const struct stat& info) {
    if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return true;
    return ::access(path.c_str(), W_OK) != 0 && errno == EACCES;
}

}  // namespace

std::optional<FileIdentity> fileIdentity(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return std::nullopt;
    return FileIdentity{static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino)};
}

// No limit of the tool's own: the system refuses what it cannot take, and
// that reason is reported.
std::size_t longestOutputPath() { return SIZE_MAX; }

struct TemporaryFile::State {
    std::string finalPath;
    std::string path;
    int descriptor = -1;
    int64_t slot = -1;
    bool present = false;  // the temporary file exists under `path`
    uint64_t position = 0;  // where the next byte goes
    uint64_t length = 0;    // the bytes the file holds
};

TemporaryFile::TemporaryFile(const std::string& finalPath) : state_(std::make_unique<State>()) {
    State& s = *state_;
    s.finalPath = finalPath;
    struct stat existing {};
    const bool exists = ::lstat(finalPath.c_str(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode)) throw creatingError(finalPath, reasonText(EISDIR));
    if (exists && S_ISREG(existing.st_mode) && isProtected(finalPath, existing)) {
        throw creatingError(finalPath, reasonText(EACCES));
    }
    const std::string folder = folderOf(finalPath);
    const std::string process = std::to_string(::getpid());
    int error = EEXIST;
    for (int attempt = 0; attempt < kNameAttempts && error == EEXIST; ++attempt) {
        s.path = folder + "." + process + "-" + std::to_string(temporaryCounter++) + kTemporarySuffix;
        s.slot = claimCleanupSlot(s.path.c_str());  // before the change: see claimCleanupSlot
        const TableChange change;
        s.descriptor = ::open(s.path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (s.descriptor >= 0) {
            s.present = true;
            // A replaced image keeps its permissions.
            if (exists && S_ISREG(existing.st_mode)) ::fchmod(s.descriptor, existing.st_mode & 0777);
            return;
        }
        error = errno;
        releaseCleanupSlot(s.slot);  // inside the change: the path is about to change
    }
    throw creatingError(finalPath, reasonText(error));
}

TemporaryFile::~TemporaryFile() {
    State& s = *state_;
    if (s.descriptor >= 0) ::close(s.descriptor);
    const TableChange change;
    if (s.present) ::unlink(s.path.c_str());
    releaseCleanupSlot(s.slot);
}

void TemporaryFile::write(std::span<const uint8_t> bytes) {
    State& s = *state_;
    while (!bytes.empty()) {
        const ssize_t written = ::write(s.descriptor, bytes.data(), std::min<std::size_t>(bytes.size(), SSIZE_MAX));
        if (written < 0 && errno == EINTR) continue;
        if (written < 0) throw writingError(s.finalPath, reasonText(errno));
        if (written == 0) throw writingError(s.finalPath, reasonText(ENOSPC));
        bytes = bytes.subspan(static_cast<std::size_t>(written));
        s.position += static_cast<uint64_t>(written);
    }
    s.length = std::max(s.length, s.position);
}

// The old bytes are written over and what is left of them cut off when the
// file is closed. Emptying the file here instead would make ext4 (without
// the noauto_da_alloc option) write its blocks out on close, as it does for
// every file truncated to nothing, and cost a write to the disk per image.
void TemporaryFile::restart() {
    State& s = *state_;
    if (::lseek(s.descriptor, 0, SEEK_SET) != 0) throw writingError(s.finalPath, reasonText(errno));
    s.position = 0;
}

void TemporaryFile::close() {
    State& s = *state_;
    if (s.position < s.length && ::ftruncate(s.descriptor, static_cast<off_t>(s.position)) != 0) {
        throw writingError(s.finalPath, reasonText(errno));
    }
    s.length = s.position;
    const int descriptor = s.descriptor;
    s.descriptor = -1;
    // After EINTR the descriptor is gone too, and the data was handed over.
    if (::close(descriptor) != 0 && errno != EINTR) throw writingError(s.finalPath, reasonText(errno));
}

void TemporaryFile::putInPlace() {
    State& s = *state_;
    if (::rename(s.path.c_str(), s.finalPath.c_str()) != 0) {
        throw creatingError(s.finalPath, reasonText(errno));  // the destructor removes the file
    }
    s.present = false;
    const TableChange change;
    releaseCleanupSlot(s.slot);
}

const std::string& TemporaryFile::finalPath() const { return state_->finalPath; }

void installInterruptCleanup() {
    // A signal the caller ignores stays ignored (nohup, or a SIGPIPE left
    // ignored so that writes fail with EPIPE instead).
    for (const int signalNumber : EndingSignals) {
        struct sigaction previous {};
        if (::sigaction(signalNumber, nullptr, &previous) != 0 || previous.sa_handler == SIG_IGN) continue;
        struct sigaction action {};
        action.sa_handler = removeTemporaryFilesAndExit;
        action.sa_mask = endingSignalSet();
        ::sigaction(signalNumber, &action, nullptr);
    }
}

}  // namespace lumenpull

#endif
