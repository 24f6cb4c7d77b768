#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>

#include "convert/file_report.h"

namespace lumenpull {

// What a run has come to so far, as the progress display shows it.
struct ProgressCounts {
    uint64_t filesDone = 0;
    uint64_t filesFound = 0;  // 0 until the total is known
    int64_t images = 0;
    uint64_t bytesRead = 0;
};

// One line of progress: "done/found files" (just "done files" until the
// total is known), images written, bytes read, files per second and, once
// the total is known, the time left at the rate so far.
std::string progressText(const ProgressCounts& counts, std::chrono::steady_clock::duration elapsed);

// The progress of a run on standard error, never on standard output. On a
// terminal one line is drawn over and over in place (with a carriage return,
// so that every console takes it) and erased at the end; elsewhere (a log,
// with --progress) a line is added each time instead. A thread of its own
// takes the counts a few times a second and draws them when they changed;
// the thread that prints the report tells it of every finished file.
//
// When the report goes to the same terminal, the line is taken off before
// report text is printed and put back after it (with the text last taken),
// so that report lines scroll above it and a report line begun before a
// file is opened is never broken.
class ProgressDisplay {
public:
    enum class Mode { InPlace, Lines };

    ProgressDisplay(std::ostream& out, Mode mode, bool sharesTerminalWithReport);
    // Stops the drawing thread; an in-place line is erased, a log gets its
    // last line.
    ~ProgressDisplay();
    ProgressDisplay(const ProgressDisplay&) = delete;
    ProgressDisplay& operator=(const ProgressDisplay&) = delete;

    // The number of files (and lines of their own) the run reports in all.
    void setFound(uint64_t files);

    // Around every piece of report text the run prints: before it, and after
    // it with the file's report when a file is done.
    void beforeReport();
    void afterReport(const FileReport* done = nullptr);

private:
    void drawLoop();
    void show();
    void takeOff();
    void write(const std::string& bytes);

    std::ostream& out_;
    const Mode mode_;
    const bool shared_;
    const std::chrono::steady_clock::time_point start_;
    std::mutex mutex_;
    std::condition_variable stop_;
    bool stopping_ = false;
    bool reportOpen_ = false;  // report text is being printed: the line stays off
    bool shown_ = false;       // an in-place line is on the terminal
    ProgressCounts counts_;
    std::string text_;  // the text last taken
    std::size_t drawnLength_ = 0;
    bool changed_ = false;  // counts changed since the text was taken
    std::thread drawer_;
};

}  // namespace lumenpull
