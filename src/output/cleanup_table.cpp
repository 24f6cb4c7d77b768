#include "output/cleanup_table.h"

#include <functional>
#include <memory>

#include "output/platform_output.h"

namespace lumenpull {
namespace {

// The interrupt handler can reach nothing but static storage: the paths of
// the temporary files in existence live in a table of fixed-size blocks
// (each slot points into its TemporaryFile's own string while the file
// exists). The first block is static; further blocks are chained on when
// every slot is taken, which happens when conversions on several threads
// keep their finished images until their turn to be put in place. A block
// is never freed, so the handler can walk the chain with plain atomic loads
// at any moment.
struct CleanupBlock {
    static constexpr int64_t kSlots = 64;
    std::atomic<const char*> paths[kSlots];
    std::atomic<CleanupBlock*> next{nullptr};
};
CleanupBlock firstCleanupBlock;

std::atomic<const char*>& cleanupSlot(int64_t slot) {
    CleanupBlock* block = &firstCleanupBlock;
    for (; slot >= CleanupBlock::kSlots; slot -= CleanupBlock::kSlots) block = block->next.load();
    return block->paths[slot];
}

// An interrupt handler may run on one thread while others enter or leave the
// table (and create or remove the files behind the entries). It first says
// so, then waits until no change is in progress, and only then reads the
// table: it never misses a file that exists, nor reads a path whose string is
// being freed. A change that begins after that waits for the process to end.
std::atomic<bool> interruptSeen{false};
std::atomic<int> tableChanges{0};

std::atomic<unsigned> temporaryCounter{0};

// Static like the table above: the interrupt handler reaches nothing else.
std::atomic<bool> reportLineOpen{false};

}  // namespace

// Claimed outside a TableChange, before the file behind it exists (a
// handler that finds the path first has nothing to remove yet): it may chain
// on a block, an allocation, and an interrupt handler waiting for the change
// to end may have interrupted a thread holding the allocator's lock.
int64_t claimCleanupSlot(const char* path) {
    int64_t base = 0;
    for (CleanupBlock* block = &firstCleanupBlock;; base += CleanupBlock::kSlots) {
        for (int64_t i = 0; i < CleanupBlock::kSlots; ++i) {
            const char* expected = nullptr;
            if (block->paths[i].compare_exchange_strong(expected, path)) return base + i;
        }
        CleanupBlock* next = block->next.load();
        if (next == nullptr) {
            auto grown = std::make_unique<CleanupBlock>();
            if (block->next.compare_exchange_strong(next, grown.get())) {
                next = grown.release();  // owned by the chain for the rest of the process
            }
            // Otherwise another thread chained one on first: `next` is that one.
        }
        block = next;
    }
}

void releaseCleanupSlot(int64_t& slot) {
    if (slot >= 0) cleanupSlot(slot).store(nullptr);
    slot = -1;
}

TableChange::TableChange() : previous_(holdEndingSignals()) {
    ++tableChanges;
    if (interruptSeen.load()) {
        --tableChanges;
        waitForTheEnd();
    }
}

TableChange::~TableChange() {
    --tableChanges;
    restoreSignals(previous_);
}

void removeRegisteredFiles(void (*remove)(const char* path)) {
    interruptSeen.store(true);
    while (tableChanges.load() != 0) {
    }
    for (CleanupBlock* block = &firstCleanupBlock; block != nullptr; block = block->next.load()) {
        for (auto& slot : block->paths) {
            if (const char* path = slot.load()) remove(path);
        }
    }
}

unsigned nextTemporaryNumber() { return temporaryCounter++; }

bool reportLineIsOpen() { return reportLineOpen.load(); }

InterruptedLineEnd::InterruptedLineEnd(const std::function<void()>& beginLine) {
    // With the signals held, an interrupt finds the line either not begun
    // or begun and marked open, never begun and unmarked.
    const SignalMask previous = holdEndingSignals();
    beginLine();
    reportLineOpen.store(true);
    restoreSignals(previous);
}

InterruptedLineEnd::~InterruptedLineEnd() { reportLineOpen.store(false); }

}  // namespace lumenpull
