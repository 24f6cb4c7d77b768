#pragma once

#include <cstdint>
#include <memory>
#include <unordered_map>

namespace lumenpull {

// A table of owned records with a declared size, of which only the slots
// that the file actually fills take memory. The declared size comes from a
// count in the file and may be far larger than the file could ever fill, so
// nothing is allocated for it up front. Slot indices are checked by callers.
template <typename T>
class SparseTable {
public:
    void Resize(int32_t size) { size_ = size; }
    int32_t Size() const { return size_; }
    bool Holds(int64_t index) const { return index >= 0 && index < size_; }

    // The record in a slot, or null for a slot never filled.
    T* Find(int32_t index) const {
        const auto it = slots_.find(index);
        return it == slots_.end() ? nullptr : it->second.get();
    }

    // Puts a record into a slot; an earlier record there is deleted.
    T& Put(int32_t index, std::unique_ptr<T> record) {
        auto& slot = slots_[index];
        slot = std::move(record);
        return *slot;
    }

    // The record in a slot, made empty first when the slot was never filled.
    T& FindOrMake(int32_t index) {
        auto& slot = slots_[index];
        if (!slot) slot = std::make_unique<T>();
        return *slot;
    }

    void Clear() {
        slots_.clear();
        size_ = 0;
    }

private:
    int32_t size_ = 0;
    std::unordered_map<int32_t, std::unique_ptr<T>> slots_;
};

}  // namespace lumenpull
