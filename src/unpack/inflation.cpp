#include "unpack/inflation.h"

#include <zlib.h>

#include <algorithm>
#include <limits>
#include <utility>

namespace lumenpull {
namespace {

constexpr uint8_t kZlibMarker = 0x78;  // first byte of a zlib stream with a 32 KiB window

// Deflate needs at least one bit for a length code and one for a distance
// code, and a match copies at most 258 bytes: no compressed byte can stand
// for more than 8 × 258 / 2 = 1032 output bytes.
constexpr uint64_t kMaxInflationRatio = 1032;

// Inflates the stream at `start` into the start of `block`, at most
// `capacity` bytes; the inflated bytes, or nothing when it is not a zlib
// stream, is damaged or does not fit.
std::optional<std::span<uint8_t>> inflateFrom(std::span<const uint8_t> data, size_t start, uint32_t capacity,
                                              ByteBlock& block) {
    const size_t sourceLength = data.size() - start;
    if (sourceLength > std::numeric_limits<uLong>::max()) {
        return std::nullopt;
    }
    // The capacity decides which streams fit, not the block's own size
    // (a block handed on from a larger texture may be larger).
    // At most the 32-bit capacity, which fits size_t on every target.
    const std::span<uint8_t> room = block.first(static_cast<size_t>(inflationBufferSize(capacity, sourceLength)));
    uLongf produced = static_cast<uLongf>(room.size());
    if (uncompress(room.data(), &produced, data.data() + start, static_cast<uLong>(sourceLength)) != Z_OK) {
        return std::nullopt;
    }
    return room.first(produced);
}

}  // namespace

uint64_t inflationBufferSize(uint32_t capacity, size_t sourceLength) {
    if (sourceLength >= std::numeric_limits<uint64_t>::max() / kMaxInflationRatio) {
        return capacity;
    }
    return std::min<uint64_t>(capacity, sourceLength * kMaxInflationRatio);
}

std::optional<InflatedData> inflatedPixelData(std::span<const uint8_t> pixelData, const UnpackParameters& p,
                                              BufferPool& buffers) {
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
    // The block is only as large as the source can fill, which never changes
    // which streams fit (a stream from offset 0 has four bytes more to fill).
    InflatedData inflated{buffers.block(static_cast<size_t>(inflationBufferSize(capacity, length))), {}};
    auto bytes = inflateFrom(pixelData, start, capacity, inflated.block);
    // A stream without a prefix has its byte 4 inside the compressed bytes,
    // where the marker turns up now and then; when the data starts with the
    // marker too, it gets its chance from offset 0. Raw pixels all but never
    // pass zlib's header, block and checksum tests.
    if (!bytes && start == 4 && pixelData[0] == kZlibMarker) {
        bytes = inflateFrom(pixelData, 0, capacity, inflated.block);
    }
    if (!bytes) {
        // Not zlib data after all, damaged, or larger than the capacity.
        buffers.keep(std::move(inflated.block));
        return std::nullopt;
    }
    inflated.bytes = *bytes;
    return inflated;
}

}  // namespace lumenpull
