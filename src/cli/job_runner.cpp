#include "cli/job_runner.h"

#include <algorithm>

namespace lumenpull {

JobRunner::JobRunner(unsigned jobs, std::size_t window) : window_(std::max<std::size_t>(window, std::max(jobs, 1u))) {
    workers_.reserve(std::max(jobs, 1u));
    for (unsigned i = 0; i < std::max(jobs, 1u); ++i) workers_.emplace_back([this] { workLoop(); });
}

JobRunner::~JobRunner() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    workAdded_.notify_all();
    for (std::thread& worker : workers_) worker.join();
}

void JobRunner::add(Work work) {
    auto piece = std::make_unique<Piece>();
    piece->work = std::move(work);
    push(std::move(piece));
    workAdded_.notify_one();
}

void JobRunner::addFinished(Finish finish) {
    auto piece = std::make_unique<Piece>();
    piece->finish = std::move(finish);
    piece->done = true;
    push(std::move(piece));
}

void JobRunner::push(std::unique_ptr<Piece> piece) {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        finishDone(lock);
        if (pieces_.size() < window_) break;
        workDone_.wait(lock, [this] { return pieces_.front()->done; });
    }
    pieces_.push_back(std::move(piece));
}

void JobRunner::finishAll() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        finishDone(lock);
        if (pieces_.empty()) return;
        workDone_.wait(lock, [this] { return pieces_.front()->done; });
    }
}

void JobRunner::finishDone(std::unique_lock<std::mutex>& lock) {
    while (!pieces_.empty() && pieces_.front()->done) {
        std::unique_ptr<Piece> piece = std::move(pieces_.front());
        pieces_.pop_front();
        // Taken pieces are the front ones; one added finished may not be.
        if (taken_ > 0) --taken_;
        // The finish prints and renames: the workers go on meanwhile. When
        // it throws, the lock stays released and the caller's lock knows.
        lock.unlock();
        if (piece->error) std::rethrow_exception(piece->error);
        if (piece->finish) piece->finish();
        piece.reset();
        lock.lock();
    }
}

void JobRunner::workLoop() {
    BufferPool buffers;  // this worker's, from one work to the next
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        workAdded_.wait(lock, [this] { return stopping_ || taken_ < pieces_.size(); });
        if (stopping_) return;
        Piece& piece = *pieces_[taken_++];
        if (!piece.work) continue;  // added finished
        Work work = std::move(piece.work);
        piece.work = nullptr;
        lock.unlock();
        Finish finish;
        std::exception_ptr error;
        try {
            finish = work(buffers);
        } catch (...) {
            error = std::current_exception();
        }
        work = nullptr;  // what the work held goes before the next one starts
        lock.lock();
        piece.finish = std::move(finish);
        piece.error = error;
        piece.done = true;
        // Only the front piece's end lets the adding thread go on: waking it
        // for a later piece would cost a switch of threads for nothing.
        if (pieces_.front().get() == &piece) workDone_.notify_all();
    }
}

}  // namespace lumenpull
