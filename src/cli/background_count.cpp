#include "cli/background_count.h"

#include <ostream>

#include "cli/input_discovery.h"

namespace lumenpull {
namespace {

// Thrown through the walk to end it early.
struct CountStopped {};

}  // namespace

BackgroundCount::BackgroundCount(const ToolOptions& options, bool countsUnreadablePaths,
                                 std::function<void(uint64_t)> found)
    : options_(options), countsUnreadable_(countsUnreadablePaths), found_(std::move(found)) {
    thread_ = std::thread([this] { count(); });
}

BackgroundCount::~BackgroundCount() { stop(); }

void BackgroundCount::stop() {
    stopping_ = true;
    if (thread_.joinable()) thread_.join();
}

void BackgroundCount::count() {
    uint64_t lines = 0;
    const auto counted = [&] {
        if (stopping_) throw CountStopped();
        ++lines;
    };
    const ConvertFileFn countFile = [&](const std::string&, const std::string&, const ToolOptions&, std::ostream&) {
        counted();
    };
    const PathFailureFn countUnreadable = [&](const std::string&, const std::string&) { counted(); };
    // What discovery would print itself (an entry a Windows build cannot
    // name) is the run's own walk's to print.
    std::ostream nowhere(nullptr);
    try {
        for (const std::string& input : options_.inputs) {
            processInput(input, options_, countFile, nowhere, countsUnreadable_ ? countUnreadable : PathFailureFn{});
        }
    } catch (const CountStopped&) {
        return;
    } catch (const std::exception&) {
        return;  // no total then; the run's own walk reports what went wrong
    }
    if (!stopping_) found_(lines);
}

}  // namespace lumenpull
