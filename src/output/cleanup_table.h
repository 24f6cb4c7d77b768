#pragma once

// The table of temporary files in existence, shared by the output layer's
// platform halves: the interrupt handler removes every file in it before the
// process ends, so that a stopped run leaves no temporary file behind.

#include <atomic>
#include <cstdint>
#include <string>

#ifndef _WIN32
#include <signal.h>
#endif

namespace lumenpull {

// Claims a slot for a temporary file's path before the file is created.
int64_t claimCleanupSlot(const char* path);
// Empties a slot (-1 is none) and sets it to -1.
void releaseCleanupSlot(int64_t& slot);

#ifdef _WIN32
// The console handler runs on a thread of its own and never interrupts one.
struct SignalMask {};
#else
struct SignalMask {
    sigset_t signals;
};
#endif
// Holds back the signals that end the tool on this thread; returns the mask
// to restore. Each platform half has its own.
SignalMask holdEndingSignals();
void restoreSignals(const SignalMask& previous);
// Never returns: the process is ending on another thread.
[[noreturn]] void waitForTheEnd();

// Whoever releases a slot, or creates or removes the file behind one, does
// so inside a TableChange, and never inside two at once. (A slot is claimed
// before its file is created, outside.) Nothing inside a change allocates or
// takes a lock.
class TableChange {
public:
    TableChange();
    ~TableChange();
    TableChange(const TableChange&) = delete;
    TableChange& operator=(const TableChange&) = delete;

private:
    SignalMask previous_;  // held first, restored last
};

// For the interrupt handler: atomic operations only. The thread it runs on
// is never inside a TableChange (interrupts are held there). Waits for the
// changes in progress, then calls `remove` with every path in the table.
void removeRegisteredFiles(void (*remove)(const char* path));

// Whether a report line is begun on standard output and not ended (see
// InterruptedLineEnd); set and read like the table, for the same reason.
bool reportLineIsOpen();

// Tells the temporary files of one process apart; the process number tells
// those of concurrent runs apart.
unsigned nextTemporaryNumber();

inline constexpr const char* kTemporarySuffix = ".lumenpull-tmp";
inline constexpr int kNameAttempts = 1000;

inline std::string creatingError(const std::string& finalPath, const std::string& reason) {
    return "Error creating output file: " + finalPath + ": " + reason;
}

inline std::string writingError(const std::string& finalPath, const std::string& reason) {
    return "Error writing output file: " + finalPath + ": " + reason;
}

}  // namespace lumenpull
