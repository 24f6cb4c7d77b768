#include "cli/progress_display.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace lumenpull {
namespace {

using Clock = std::chrono::steady_clock;

// A few times a second on a terminal; a log gets a line a second at most.
constexpr auto kInPlaceInterval = std::chrono::milliseconds(250);
constexpr auto kLineInterval = std::chrono::seconds(1);

// Longer lines would wrap on an 80-column terminal, where a carriage return
// no longer reaches their start.
constexpr std::size_t kLongestLine = 79;

std::string bytesText(uint64_t bytes) {
    const char* units[] = {"B", "KB", "MB", "GB", "TB"};
    double value = static_cast<double>(bytes);
    std::size_t unit = 0;
    while (value >= 1000.0 && unit + 1 < std::size(units)) {
        value /= 1000.0;
        ++unit;
    }
    char text[32];
    if (unit == 0) {
        std::snprintf(text, sizeof text, "%llu B", static_cast<unsigned long long>(bytes));
    } else {
        std::snprintf(text, sizeof text, "%.1f %s", value, units[unit]);
    }
    return text;
}

std::string durationText(double seconds) {
    const auto whole = static_cast<unsigned long long>(seconds + 0.5);
    char text[32];
    if (whole >= 3600) {
        std::snprintf(text, sizeof text, "%llu:%02llu:%02llu", whole / 3600, whole / 60 % 60, whole % 60);
    } else {
        std::snprintf(text, sizeof text, "%llu:%02llu", whole / 60, whole % 60);
    }
    return text;
}

}  // namespace

std::string progressText(const ProgressCounts& counts, Clock::duration elapsed) {
    const double seconds = std::chrono::duration<double>(elapsed).count();
    std::string text = std::to_string(counts.filesDone);
    const bool totalKnown = counts.filesFound != 0;
    // Appended piece by piece: a literal joined to a temporary string trips a
    // false -Wrestrict warning of GCC 12 in the MinGW build.
    if (totalKnown) {
        text += '/';
        text += std::to_string(std::max(counts.filesFound, counts.filesDone));
    }
    text += " files, ";
    text += std::to_string(counts.images);
    text += " images, ";
    text += bytesText(counts.bytesRead);
    text += " read";
    // No rate before there is anything to measure it on.
    if (counts.filesDone != 0 && seconds > 0) {
        const double rate = static_cast<double>(counts.filesDone) / seconds;
        char rateText[32];
        std::snprintf(rateText, sizeof rateText, rate < 10 ? ", %.1f files/s" : ", %.0f files/s", rate);
        text += rateText;
        if (totalKnown) {
            const uint64_t left = counts.filesFound > counts.filesDone ? counts.filesFound - counts.filesDone : 0;
            text += ", ";
            text += durationText(static_cast<double>(left) / rate);
            text += " left";
        }
    }
    return text;
}

ProgressDisplay::ProgressDisplay(std::ostream& out, Mode mode, bool sharesTerminalWithReport)
    : out_(out), mode_(mode), shared_(sharesTerminalWithReport && mode == Mode::InPlace), start_(Clock::now()) {
    drawer_ = std::thread([this] { drawLoop(); });
}

ProgressDisplay::~ProgressDisplay() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    stop_.notify_all();
    drawer_.join();
    const std::lock_guard<std::mutex> lock(mutex_);
    if (mode_ == Mode::InPlace) {
        takeOff();
    } else {
        text_ = progressText(counts_, Clock::now() - start_);
        write(text_ + "\n");
    }
}

void ProgressDisplay::setFound(uint64_t files) {
    const std::lock_guard<std::mutex> lock(mutex_);
    counts_.filesFound = files;
    changed_ = true;
}

void ProgressDisplay::beforeReport() {
    if (!shared_) return;
    const std::lock_guard<std::mutex> lock(mutex_);
    takeOff();
    reportOpen_ = true;
}

void ProgressDisplay::afterReport(const FileReport* done) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (done != nullptr) {
        ++counts_.filesDone;
        counts_.images += done->images;
        counts_.bytesRead += done->bytesRead;
        changed_ = true;
    }
    if (!shared_) return;
    reportOpen_ = false;
    // Put back below the report's last line, with the text last taken: the
    // text itself changes only as often as the drawing thread takes it.
    if (!text_.empty()) show();
}

void ProgressDisplay::drawLoop() {
    const auto interval = mode_ == Mode::InPlace ? Clock::duration(kInPlaceInterval) : Clock::duration(kLineInterval);
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        if (stop_.wait_for(lock, interval, [this] { return stopping_; })) return;
        // In place, the time left and the rate change with time alone.
        if (!changed_ && mode_ == Mode::Lines) continue;
        changed_ = false;
        text_ = progressText(counts_, Clock::now() - start_);
        if (text_.size() > kLongestLine) text_.resize(kLongestLine);
        if (mode_ == Mode::Lines) {
            write(text_ + "\n");
        } else if (!reportOpen_) {
            show();
        }
    }
}

void ProgressDisplay::show() {
    std::string line(1, '\r');
    line += text_;
    // Spaces over what is left of a longer line drawn before.
    if (drawnLength_ > text_.size()) line.append(drawnLength_ - text_.size(), ' ');
    write(line);
    drawnLength_ = text_.size();
    shown_ = true;
}

void ProgressDisplay::takeOff() {
    if (!shown_) return;
    std::string blank(drawnLength_ + 2, ' ');
    blank.front() = '\r';
    blank.back() = '\r';
    write(blank);
    drawnLength_ = 0;
    shown_ = false;
}

void ProgressDisplay::write(const std::string& bytes) {
    out_.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out_.flush();
}

}  // namespace lumenpull
