#include "stream/signed_layout.h"

#include <algorithm>

namespace lumenpull {

uint64_t SignedLayout::PayloadSize() const {
    if (blockSize == 0 || fileSize <= PayloadStart()) return 0;
    const uint64_t rest = fileSize - PayloadStart();
    const uint64_t strides = rest / Stride();
    const uint64_t tail = rest % Stride();
    return strides * blockSize + (tail > signatureSize ? tail - signatureSize : 0);
}

uint64_t SignedLayout::RawOf(uint64_t x) const {
    if (blockSize == 0) return PayloadStart();
    return PayloadStart() + (x / blockSize) * Stride() + x % blockSize;
}

uint64_t SignedLayout::PayloadOf(uint64_t raw) const {
    if (blockSize == 0 || raw <= PayloadStart()) return 0;
    const uint64_t rest = raw - PayloadStart();
    const uint64_t x = (rest / Stride()) * blockSize + std::min<uint64_t>(rest % Stride(), blockSize);
    return std::min(x, PayloadSize());
}

uint64_t SignedLayout::Boundary(uint64_t j) const {
    if (j == 0) return dataStart;
    if (IsEndBoundary(j)) return RawOf(PayloadSize());
    return dataStart + j * Stride();  // j is at most the block count here
}

bool SignedLayout::IsEndBoundary(uint64_t j) const {
    if (j == 0) return false;
    if (blockSize == 0) return true;
    const uint64_t payload = PayloadSize();
    const uint64_t blocks = payload / blockSize + (payload % blockSize != 0 ? 1 : 0);
    // The record after a short last block is the final one: the payload ends
    // where it starts.
    return j > blocks || (j == blocks && payload % blockSize != 0);
}

}  // namespace lumenpull
