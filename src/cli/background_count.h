#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

#include "convert/tool_options.h"

namespace lumenpull {

// Walks the inputs on a thread of its own as the run's discovery does,
// converting nothing, and hands `found` the number of lines the run will
// report for files and for what it cannot look at, once the walk is over:
// so that a progress display knows the total while the run's own walk, which
// goes only as fast as the conversions, is far from done. `found` is called
// on that thread, and never once stop() has returned.
class BackgroundCount {
public:
    BackgroundCount(const ToolOptions& options, bool countsUnreadablePaths, std::function<void(uint64_t)> found);
    ~BackgroundCount();  // stops
    BackgroundCount(const BackgroundCount&) = delete;
    BackgroundCount& operator=(const BackgroundCount&) = delete;

    // Ends the walk where it is and waits for the thread.
    void stop();

private:
    void count();

    const ToolOptions& options_;
    const bool countsUnreadable_;
    std::function<void(uint64_t)> found_;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

}  // namespace lumenpull
