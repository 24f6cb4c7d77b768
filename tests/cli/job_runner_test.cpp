#include "cli/job_runner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace lumenpull {
namespace {

// Lets a test hold pieces of work until it says which may end.
class Gate {
public:
    void open(int piece) {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            opened_.push_back(piece);
        }
        changed_.notify_all();
    }
    void waitFor(int piece) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return std::find(opened_.begin(), opened_.end(), piece) != opened_.end(); });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<int> opened_;
};

// Four pieces that can only end last to first (each waits for the one after
// it): they run at once, and still finish first to last, with a piece added
// finished in its place among them.
TEST(JobRunner, FinishesInTheOrderAddedWhateverOrderTheWorkEnds) {
    Gate ended;
    std::vector<std::string> finished;  // only the adding thread touches it
    {
        JobRunner runner(4, 8);
        for (int piece = 0; piece < 4; ++piece) {
            runner.add([piece, &ended, &finished](BufferPool&) -> JobRunner::Finish {
                if (piece < 3) ended.waitFor(piece + 1);
                ended.open(piece);
                return [piece, &finished] { finished.push_back("work " + std::to_string(piece)); };
            });
            if (piece == 1) runner.addFinished([&finished] { finished.push_back("line"); });
        }
        runner.finishAll();
    }
    EXPECT_EQ(finished, (std::vector<std::string>{"work 0", "work 1", "line", "work 2", "work 3"}));
}

// Never more than `jobs` pieces at work, and never more than `window`
// pieces added and not finished.
TEST(JobRunner, StaysWithinItsJobsAndWindow) {
    std::atomic<int> working{0};
    std::atomic<int> mostWorking{0};
    std::atomic<int> added{0};
    std::atomic<int> finishedCount{0};
    int mostAhead = 0;
    {
        JobRunner runner(3, 5);
        for (int piece = 0; piece < 60; ++piece) {
            runner.add([&](BufferPool&) -> JobRunner::Finish {
                const int now = ++working;
                int most = mostWorking.load();
                while (now > most && !mostWorking.compare_exchange_weak(most, now)) {
                }
                std::this_thread::sleep_for(std::chrono::microseconds(200));
                --working;
                return [&] { ++finishedCount; };
            });
            ++added;
            mostAhead = std::max(mostAhead, added.load() - finishedCount.load());
        }
        runner.finishAll();
    }
    EXPECT_EQ(finishedCount.load(), 60);
    EXPECT_LE(mostWorking.load(), 3);
    EXPECT_LE(mostAhead, 5);
}

// An exception from a piece's work comes out on the adding thread in the
// piece's turn (from a later add or from finishAll), after the pieces before
// it are finished and before those after it.
TEST(JobRunner, AnExceptionFromWorkIsThrownInItsTurn) {
    std::vector<int> finished;
    JobRunner runner(2, 4);
    const auto addAll = [&] {
        runner.add([&](BufferPool&) -> JobRunner::Finish { return [&] { finished.push_back(0); }; });
        runner.add([](BufferPool&) -> JobRunner::Finish { throw std::runtime_error("piece 1 failed"); });
        runner.add([&](BufferPool&) -> JobRunner::Finish { return [&] { finished.push_back(2); }; });
        runner.finishAll();
    };
    EXPECT_THROW(addAll(), std::runtime_error);
    EXPECT_EQ(finished, std::vector<int>{0});
}

// Every worker gives all its works one pool of its own, which outlives
// them: what a work leaves there the next work on that worker finds.
TEST(JobRunner, EachWorkerKeepsItsOwnBuffersFromOneWorkToTheNext) {
    std::mutex mutex;
    std::map<std::thread::id, BufferPool*> poolOf;  // the pool each worker thread was given first
    int otherPool = 0;                              // works given a pool their thread was not given first
    int laterWorks = 0, laterWorksReusing = 0;      // works after their worker's first
    {
        JobRunner runner(2, 4);
        for (int piece = 0; piece < 40; ++piece) {
            runner.add([&](BufferPool& buffers) -> JobRunner::Finish {
                const uint64_t reusedBefore = buffers.reused();
                buffers.keep(buffers.block(std::size_t{1} << 16));
                std::this_thread::sleep_for(std::chrono::microseconds(100));
                const std::lock_guard<std::mutex> lock(mutex);
                const auto [first, isFirst] = poolOf.emplace(std::this_thread::get_id(), &buffers);
                if (first->second != &buffers) ++otherPool;
                if (!isFirst) {
                    ++laterWorks;
                    if (buffers.reused() == reusedBefore + 1) ++laterWorksReusing;
                }
                return [] {};
            });
        }
        runner.finishAll();
    }
    EXPECT_EQ(otherPool, 0);
    std::set<BufferPool*> pools;
    for (const auto& [thread, pool] : poolOf) pools.insert(pool);
    EXPECT_EQ(pools.size(), poolOf.size()) << "two workers shared a pool";
    EXPECT_EQ(laterWorks, 40 - static_cast<int>(poolOf.size()));
    EXPECT_EQ(laterWorksReusing, laterWorks);
}

}  // namespace
}  // namespace lumenpull
