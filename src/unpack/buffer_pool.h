#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "unpack/byte_block.h"

namespace lumenpull {

// The large buffers a texture's unpacking goes through (its stored bytes,
// the inflated bytes, the decoded planes), kept when they are done with so
// that the next step or texture writes into pages that are already there.
// A large texture takes buffers of several megabytes; made afresh for every
// texture, each of their pages faults in again, and the system clears it
// first, which costs more than unpacking the page. Each worker has a pool
// of its own (a pool is not shared between threads).
//
// What a pool keeps stays within what its textures needed at once: a
// request gets the smallest kept buffer large enough for it, and a request
// that none is large enough for drops every kept buffer (all smaller)
// before a block of its own size is made. So the buffers a pool holds,
// kept or handed out, grow only then, to those a texture had in use at that
// moment and the new one. A vector of stored bytes, once they are done
// with, serves the next step as any block does, and a block that holds a
// vector serves the next texture's stored bytes.
class BufferPool {
public:
    BufferPool() = default;
    BufferPool(const BufferPool&) = delete;
    BufferPool& operator=(const BufferPool&) = delete;

    // A block of at least `size` bytes, with unspecified contents.
    ByteBlock block(std::size_t size);
    // Takes back a block, or a vector, for later requests.
    void keep(ByteBlock block);
    void keep(std::vector<uint8_t> vector);

    // The vector a texture's stored bytes are read into: empty, with the
    // capacity of the largest kept vector (none kept: none).
    std::vector<uint8_t> storedRoom();

    // Requests served by kept storage (blocks and stored rooms), and blocks
    // made for a request.
    uint64_t reused() const { return reused_; }
    uint64_t made() const { return made_; }
    // The bytes kept now.
    std::size_t keptBytes() const;

private:
    std::vector<ByteBlock> kept_;
    uint64_t reused_ = 0;
    uint64_t made_ = 0;
};

}  // namespace lumenpull
