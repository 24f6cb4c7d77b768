#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace lumenpull {

// A block of bytes for one step of unpacking to write into, with
// unspecified contents: made without clearing, or handed on from an earlier
// texture with its bytes. Whoever writes into it reads back only what it
// wrote. Its storage is either made for it or a vector's (a vector that
// held a texture's stored bytes, which a later step may write into once
// they are done with).
class ByteBlock {
public:
    ByteBlock() = default;
    // `size` bytes, not cleared: pages no step writes are never touched.
    static ByteBlock uncleared(std::size_t size);
    // The storage of `vector`; its bytes stay as they are.
    explicit ByteBlock(std::vector<uint8_t> vector);

    // The bytes it can hold.
    std::size_t capacity() const { return made_ ? madeSize_ : vector_.capacity(); }
    bool empty() const { return capacity() == 0; }
    bool holdsVector() const { return vector_.capacity() != 0; }

    // The first `size` bytes (at most the capacity), which the caller may
    // write. A vector's bytes past its size are cleared on the way, which
    // touches no page it did not hold bytes on before.
    std::span<uint8_t> first(std::size_t size);

    // The vector it holds (its storage given up, the block left empty).
    std::vector<uint8_t> takeVector();

private:
    std::unique_ptr<uint8_t[]> made_;
    std::size_t madeSize_ = 0;
    std::vector<uint8_t> vector_;
};

}  // namespace lumenpull
