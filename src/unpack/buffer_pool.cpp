#include "unpack/buffer_pool.h"

#include <utility>

#include "unpack/platform_pages.h"

namespace lumenpull {

ByteBlock BufferPool::block(std::size_t size) {
    auto best = kept_.end();
    for (auto it = kept_.begin(); it != kept_.end(); ++it) {
        if (it->capacity() >= size && (best == kept_.end() || it->capacity() < best->capacity())) best = it;
    }
    if (best != kept_.end()) {
        ByteBlock found = std::move(*best);
        kept_.erase(best);
        ++reused_;
        return found;
    }
    // The textures have grown past every kept buffer: those go before the
    // new block is made, so that they never add up beyond one texture's needs.
    kept_.clear();
    ++made_;
    ByteBlock made = ByteBlock::uncleared(size);
    adviseLargePages(made.first(size));
    return made;
}

void BufferPool::keep(ByteBlock block) {
    if (!block.empty()) kept_.push_back(std::move(block));
}

void BufferPool::keep(std::vector<uint8_t> vector) { keep(ByteBlock(std::move(vector))); }

std::vector<uint8_t> BufferPool::storedRoom() {
    auto largest = kept_.end();
    for (auto it = kept_.begin(); it != kept_.end(); ++it) {
        if (it->holdsVector() && (largest == kept_.end() || it->capacity() > largest->capacity())) largest = it;
    }
    if (largest == kept_.end()) return {};
    std::vector<uint8_t> room = largest->takeVector();
    kept_.erase(largest);
    room.clear();
    ++reused_;
    return room;
}

std::size_t BufferPool::keptBytes() const {
    std::size_t bytes = 0;
    for (const ByteBlock& block : kept_) bytes += block.capacity();
    return bytes;
}

}  // namespace lumenpull
