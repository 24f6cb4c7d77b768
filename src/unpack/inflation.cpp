#include "unpack/inflation.h"

#include <zlib.h>

#include <algorithm>
#include <limits>

namespace lumenpull {
namespace {

constexpr uint8_t kZlibMarker = 0x78;  // first byte of a zlib stream with a 32 KiB window

// Deflate needs at least one bit for a length code and one for a distance
// code, and a match copies at most 258 bytes: no compressed byte can stand
// for more than 8 × 258 / 2 = 1032 output bytes.
constexpr uint64_t kMaxInflationRatio = 1032;

// Inflates the stream at `start` into a buffer sized for at most `capacity`
// bytes; empty when it is not a zlib stream, is damaged or does not fit.
std::optional<InflatedData> inflateFrom(std::span<const uint8_t> data, size_t start, uint32_t capacity) {
    const size_t sourceLength = data.size() - start;
    if (sourceLength > std::numeric_limits<uLong>::max()) {
        return std::nullopt;
    }
    // The capacity decides which streams fit; the buffer is only as large as
    // the source can fill, which never changes that outcome.
    // At most the 32-bit capacity, which fits size_t on every target.
    const auto bufferSize = static_cast<size_t>(inflationBufferSize(capacity, sourceLength));
    InflatedData inflated{std::make_unique_for_overwrite<uint8_t[]>(bufferSize), 0};
    uLongf produced = static_cast<uLongf>(bufferSize);
    if (uncompress(inflated.bytes.get(), &produced, data.data() + start, static_cast<uLong>(sourceLength)) != Z_OK) {
        return std::nullopt;
    }
    inflated.length = produced;
    return inflated;
}

}  // namespace

uint64_t inflationBufferSize(uint32_t capacity, size_t sourceLength) {
    if (sourceLength >= std::numeric_limits<uint64_t>::max() / kMaxInflationRatio) {
        return capacity;
    }
    return std::min<uint64_t>(capacity, sourceLength * kMaxInflationRatio);
}

std::optional<InflatedData> inflatedPixelData(std::span<const uint8_t> pixelData, const UnpackParameters& p) {
    const size_t length = pixelData.size();
    if (length == 0) {
        return std::nullopt;
    }
    // Some writers put four bytes before the zlib stream; a marker at offset
    // 4 (or at the last byte of short data) means the stream starts there.
    const size_t markerAt = length > 4 ? 4 : length - 1;
    const size_t start = pixelData[markerAt] == kZlibMarker ? 4 : 0;
    // Four bytes or fewer ending in the marker leave nothing to inflate.
    if (start >= length || pixelData[start] != kZlibMarker) {
        return std::nullopt;
    }
    const uint32_t capacity = inflationCapacity(p);
    auto inflated = inflateFrom(pixelData, start, capacity);
    // A stream without a prefix has its byte 4 inside the compressed bytes,
    // where the marker turns up now and then; when the data starts with the
    // marker too, it gets its chance from offset 0. Raw pixels all but never
    // pass zlib's header, block and checksum tests.
    if (!inflated && start == 4 && pixelData[0] == kZlibMarker) {
        inflated = inflateFrom(pixelData, 0, capacity);
    }
    return inflated;  // empty: not zlib data after all, damaged, or larger than the capacity
}

}  // namespace lumenpull
