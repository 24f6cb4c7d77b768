#pragma once

#include <string>

#include "resource/data_type.h"
#include "lumenpull/error.h"

namespace lumenpull {

// Walks the base links of a data type. A chain that runs in a circle is
// found within a few times its length without any memory (Brent's method)
// and ends the walk with an error naming the type the walk started at.
class BaseChain {
public:
    explicit BaseChain(const DataType& start) : start_(start), tortoise_(&start), current_(&start) {}

    // The next base, or null past the end of the chain.
    const DataType* Next() {
        current_ = current_->base;
        if (current_ == nullptr) return nullptr;
        if (current_ == tortoise_) {
            throw Error("Circular base chain in " + DataTypeLabel(start_));
        }
        if (++steps_ == power_) {
            tortoise_ = current_;
            power_ *= 2;
            steps_ = 0;
        }
        return current_;
    }

private:
    const DataType& start_;
    const DataType* tortoise_;
    const DataType* current_;
    uint64_t power_ = 1;
    uint64_t steps_ = 0;
};

}  // namespace lumenpull
