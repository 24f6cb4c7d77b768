#include "unpack/byte_block.h"

#include <utility>

namespace lumenpull {

ByteBlock ByteBlock::uncleared(std::size_t size) {
    ByteBlock block;
    block.made_ = std::make_unique_for_overwrite<uint8_t[]>(size);
    block.madeSize_ = size;
    return block;
}

ByteBlock::ByteBlock(std::vector<uint8_t> vector) : vector_(std::move(vector)) {}

std::span<uint8_t> ByteBlock::first(std::size_t size) {
    if (holdsVector()) {
        // Within the capacity: no new storage, its pages were all written
        // when the vector was filled to it.
        if (vector_.size() < size) vector_.resize(size);
        return std::span<uint8_t>(vector_).first(size);
    }
    return {made_.get(), size};
}

std::vector<uint8_t> ByteBlock::takeVector() {
    std::vector<uint8_t> vector = std::move(vector_);
    vector_ = {};
    return vector;
}

}  // namespace lumenpull
