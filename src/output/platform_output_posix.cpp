// The POSIX half of the output layer's platform code: temporary files next
// to their final path, put in place by rename, and removed by the signal
// handler when the tool is stopped.
#include "output/platform_output.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "output/cleanup_table.h"
#include "lumenpull/error.h"

namespace lumenpull {

namespace {

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

}  // namespace

// Held while a thread changes the table of temporary files, so that the
// handler never runs in the middle of the change.
SignalMask holdEndingSignals() {
    const sigset_t held = endingSignalSet();
    SignalMask previous{};
    pthread_sigmask(SIG_BLOCK, &held, &previous.signals);
    return previous;
}

void restoreSignals(const SignalMask& previous) { pthread_sigmask(SIG_SETMASK, &previous.signals, nullptr); }

[[noreturn]] void waitForTheEnd() {
    for (;;) ::pause();
}

}  // namespace lumenpull
namespace lumenpull {
namespace {

std::string reasonText(int error) { return std::strerror(error); }

std::string folderOf(const std::string& path) {
    const size_t end = path.rfind('/');
    return end == std::string::npos ? std::string() : path.substr(0, end + 1);
}

// What ends an open report line when an interrupt ends the process.
constexpr char kInterruptedLineEnd[] = "interrupted\n";

// Only async-signal-safe calls: unlink, write and _exit.
extern "C" void removeTemporaryFilesAndExit(int signalNumber) {
    removeRegisteredFiles([](const char* path) { ::unlink(path); });
    if (reportLineIsOpen()) {
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
    bool present = false;   // the temporary file exists under `path`
    uint64_t position = 0;  // where the next byte goes
    uint64_t length = 0;    // the bytes the file holds
};

TemporaryFile::TemporaryFile(const std::string& finalPath) : state_(std::make_unique<State>()) {
    State& s = *state_;
    s.finalPath = finalPath;
    struct stat existing {};
    const bool exists = ::lstat(finalPath.c_str(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode)) throw Error(creatingError(finalPath, reasonText(EISDIR)));
    if (exists && S_ISREG(existing.st_mode) && isProtected(finalPath, existing)) {
        throw Error(creatingError(finalPath, reasonText(EACCES)));
    }
    const std::string folder = folderOf(finalPath);
    const std::string process = std::to_string(::getpid());
    int error = EEXIST;
    for (int attempt = 0; attempt < kNameAttempts && error == EEXIST; ++attempt) {
        s.path = folder + "." + process + "-" + std::to_string(nextTemporaryNumber()) + kTemporarySuffix;
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
    throw Error(creatingError(finalPath, reasonText(error)));
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
        if (written < 0) throw Error(writingError(s.finalPath, reasonText(errno)));
        if (written == 0) throw Error(writingError(s.finalPath, reasonText(ENOSPC)));
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
    if (::lseek(s.descriptor, 0, SEEK_SET) != 0) throw Error(writingError(s.finalPath, reasonText(errno)));
    s.position = 0;
}

void TemporaryFile::close() {
    State& s = *state_;
    if (s.position < s.length && ::ftruncate(s.descriptor, static_cast<off_t>(s.position)) != 0) {
        throw Error(writingError(s.finalPath, reasonText(errno)));
    }
    s.length = s.position;
    const int descriptor = s.descriptor;
    s.descriptor = -1;
    // After EINTR the descriptor is gone too, and the data was handed over.
    if (::close(descriptor) != 0 && errno != EINTR) throw Error(writingError(s.finalPath, reasonText(errno)));
}

void TemporaryFile::putInPlace() {
    State& s = *state_;
    if (::rename(s.path.c_str(), s.finalPath.c_str()) != 0) {
        throw Error(creatingError(s.finalPath, reasonText(errno)));  // the destructor removes the file
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
    const std::filesystem::path from(earlier);
    const std::string folder = folderOf(s.finalPath);
    const std::string process = std::to_string(::getpid());
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::string linkPath =
            folder + "." + process + "-" + std::to_string(nextTemporaryNumber()) + kTemporarySuffix;
        const std::filesystem::path to(linkPath);
        int64_t slot = claimCleanupSlot(linkPath.c_str());  // before the change: see claimCleanupSlot
        std::error_code error;
        {
            const TableChange change;
            std::filesystem::create_hard_link(from, to, error);
            if (error) releaseCleanupSlot(slot);
        }
        if (error == std::errc::file_exists) continue;
        if (error) return false;
        if (::rename(linkPath.c_str(), s.finalPath.c_str()) != 0) {
            const int renameError = errno;
            const TableChange change;
            ::unlink(linkPath.c_str());
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
