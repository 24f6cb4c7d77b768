#include <gtest/gtest.h>

#include "cli/progress_display.h"

namespace lumenpull {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

TEST(ProgressText, RateAndTimeLeftOnceTheTotalIsKnown) {
    struct Case {
        ProgressCounts counts;
        std::chrono::steady_clock::duration elapsed;
        const char* text;
    };
    const Case cases[] = {
        {{0, 0, 0, 0}, seconds(0), "0 files, 0 images, 0 B read"},
        {{100, 0, 250, 999}, seconds(10), "100 files, 250 images, 999 B read, 10 files/s"},
        {{100, 400, 250, 1500}, seconds(10), "100/400 files, 250 images, 1.5 KB read, 10 files/s, 0:30 left"},
        {{3, 10, 3, 2500000}, seconds(2), "3/10 files, 3 images, 2.5 MB read, 1.5 files/s, 0:05 left"},
        {{1, 10000, 1, 0}, seconds(2), "1/10000 files, 1 images, 0 B read, 0.5 files/s, 5:33:18 left"},
        // More files done than were counted (the tree grew): none left.
        {{12, 10, 0, 0}, milliseconds(500), "12/12 files, 0 images, 0 B read, 24 files/s, 0:00 left"},
    };
    for (const Case& c : cases) EXPECT_EQ(progressText(c.counts, c.elapsed), c.text);
}

}  // namespace
}  // namespace lumenpull
