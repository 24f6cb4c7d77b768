#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "unpack/buffer_pool.h"

namespace lumenpull {

// Runs the conversions of several files at once and finishes them in the
// order they were added. Each piece has two halves: its work runs on one of
// the worker threads (the conversion of one file, which prints nothing and
// keeps its finished images back), and returns its finish, which runs on the
// thread that adds pieces once every earlier piece has been finished (the
// images put in place, the report line printed). So the output is that of
// one conversion after the other, whatever order the work ends in.
//
// Bounded: at most `jobs` pieces do their work at once, and at most `window`
// pieces are added and not yet finished; add() waits for room, finishing
// pieces as their turn comes, so the caller (discovery) never runs further
// ahead than that.
//
// Each worker has a pool of buffers of its own, which every work it runs
// is given: a work leaves its large buffers there for the next one on the
// same worker (what is kept is that pool's to bound). A finish runs on
// another thread and must not touch it.
class JobRunner {
public:
    using Finish = std::function<void()>;
    using Work = std::function<Finish(BufferPool&)>;

    // `jobs` is at least 1; `window` is at least `jobs`.
    JobRunner(unsigned jobs, std::size_t window);
    // Ends the workers once their current work is done; pieces not finished
    // by then are dropped without their finish.
    ~JobRunner();
    JobRunner(const JobRunner&) = delete;
    JobRunner& operator=(const JobRunner&) = delete;

    // Adds a piece of work. An exception thrown by the work is thrown again
    // from add() or finishAll() in the piece's turn.
    void add(Work work);
    // Adds a piece that needs no worker: `finish` runs in its turn.
    void addFinished(Finish finish);
    // Waits for every piece added and finishes each in its turn.
    void finishAll();

private:
    struct Piece {
        Work work;  // empty once taken, or for a piece added finished
        Finish finish;
        std::exception_ptr error;
        bool done = false;
    };

    void push(std::unique_ptr<Piece> piece);
    // Finishes the pieces at the front that are done; returns with the lock held.
    void finishDone(std::unique_lock<std::mutex>& lock);
    void workLoop();

    const std::size_t window_;
    std::mutex mutex_;
    std::condition_variable workAdded_;
    std::condition_variable workDone_;
    std::deque<std::unique_ptr<Piece>> pieces_;  // added and not finished, in order
    std::size_t taken_ = 0;  // the first taken_ pieces are taken by workers (or were added finished)
    bool stopping_ = false;
    std::vector<std::thread> workers_;
};

}  // namespace lumenpull
