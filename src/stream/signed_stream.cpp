#include "stream/signed_stream.h"

#include <algorithm>

#include "stream/stream_errors.h"
#include "stream/tag.h"
#include "lumenpull/error.h"

namespace lumenpull {

namespace {

constexpr uint32_t kSignedVersion = 5;
constexpr uint32_t kSignedThirdTag = 1397311282;  // the bytes "2GIS"
constexpr const char* kEditorKey = "Signkey.EditorSignature";

// A stream opened for writing has no header of its own; these describe the
// container it would belong to.
constexpr uint32_t kDefaultBlockSize = 65536;
constexpr uint32_t kDefaultSignatureSize = 256;
constexpr uint64_t kDefaultDataStart = 75;

}  // namespace

void SignedStream::Reset() {
    Close();
    layout_ = SignedLayout{};
    payloadSize_ = 0;
    headerValueA_ = 4;
    headerValueB_ = 0;
    blockIndex_ = 0;
    boundary_ = 0;
    boundaryIsEnd_ = false;
}

void SignedStream::Open(InputFile file, bool verify) {
    Reset();
    AdoptInput(std::move(file));
    StartReading(verify);
}

void SignedStream::Open(const std::string& path, const char* mode, bool verify) {
    Reset();
    const char kind = mode != nullptr ? mode[0] : 0;
    if (kind == 'r') {
        OpenFile(path, 'r', std::ios_base::in | std::ios_base::binary);
    } else if (kind == 'w') {
        OpenFile(path, 'w', std::ios_base::in | std::ios_base::out | std::ios_base::trunc | std::ios_base::binary);
        layout_ = SignedLayout{kDefaultDataStart, kDefaultBlockSize, kDefaultSignatureSize, 0};
        active_ = true;
        return;
    } else {
        ThrowInvalidStreamMode();
    }
    StartReading(verify);
}

void SignedStream::StartReading(bool verify) {
    // The header is read with the plain operations (not yet active). Skipped
    // fields are read too, so that a header cut short says "Error reading".
    ReadHeaderOrClose([this, verify] { ReadHeader(verify); });
    active_ = true;
    // The position stays at the end of the header: the first read or move
    // steps over the record that follows it.
    SetBlockIndex(0);
}

void SignedStream::ReadHeader(bool verify) {
    ExpectTag(MakeTag("SIGS"));
    ExpectTag(MakeTag("TRM1"));
    ExpectTag(kSignedThirdTag);
    const uint32_t version = ReadU32();
    if (version != kSignedVersion) throw Error("Invalid signed stream version " + std::to_string(version));
    const uint32_t blockSize = ReadU32();
    headerValueA_ = ReadU32();
    ReadU32();
    headerValueB_ = ReadU32();
    ReadU32();
    ReadU32();
    CountedString headerText;
    ReadString(*this, headerText);
    const uint32_t signatureSize = ReadU32();
    CountedString signKeyName;
    ReadString(*this, signKeyName);
    if (verify && signKeyName != kEditorKey) {
        throw Error("Only editor sign key is available for verification");
    }
    // A block of no bytes would never reach its record.
    if (blockSize == 0) throw Error("Invalid signed stream block size 0");

    layout_ = SignedLayout{Tell(), blockSize, signatureSize, size_};
    payloadSize_ = layout_.PayloadSize();
}

void SignedStream::Close() {
    PlainClose();
    active_ = false;
    boundary_ = 0;
}

void SignedStream::SetBlockIndex(uint64_t j) {
    blockIndex_ = j;
    if (active_ && mode_ == 'r') {
        boundary_ = layout_.Boundary(j);
        boundaryIsEnd_ = layout_.IsEndBoundary(j);
    } else {
        boundary_ = 0;
        boundaryIsEnd_ = false;
    }
}

void SignedStream::Read(void* buffer, uint32_t count) {
    // Inside the current block a read is the plain one plus this comparison.
    if (pos_ < boundary_ && count < boundary_ - pos_) {
        PlainRead(buffer, count);
        return;
    }
    if (!active_) {
        PlainRead(buffer, count);
        return;
    }
    ReadAcrossRecords(static_cast<uint8_t*>(buffer), count);
}

void SignedStream::ReadAcrossRecords(uint8_t* out, uint32_t count) {
    RequireOpen();
    if (mode_ != 'r') {
        if (count == 0) return;
        ThrowInvalidMode();
    }
    if (failed_) ThrowErrorReading();
    uint32_t remaining = count;
    while (remaining > 0) {
        if (pos_ == boundary_) {
            if (boundaryIsEnd_) FailRead();  // the payload has ended
            StepOverRecord();
            continue;
        }
        if (pos_ > boundary_) FailRead();
        const auto chunk = static_cast<uint32_t>(std::min<uint64_t>(remaining, boundary_ - pos_));
        PlainRead(out, chunk);
        out += chunk;
        remaining -= chunk;
        // A read that ends on a boundary steps over the record there, so the
        // next read starts on payload (or fails at the end of the payload).
        if (pos_ == boundary_) StepOverRecord();
    }
}

void SignedStream::StepOverRecord() {
    // A record cut off by the end of the file ends the payload.
    if (pos_ > size_ || layout_.signatureSize > size_ - pos_) FailRead();
    MoveRaw(pos_ + layout_.signatureSize);
    SetBlockIndex(blockIndex_ + 1);
}

void SignedStream::Seek(const int64_t& offset, SeekOrigin origin) {
    if (!active_ || mode_ != 'r') {
        // Before the header is read, and in mode 'w' (no header, no records),
        // payload and raw positions are the same.
        PlainSeek(offset, origin);
        return;
    }
    RequireOpen();
    const uint64_t here = layout_.PayloadOf(pos_);
    const uint64_t magnitude = offset < 0 ? 0 - static_cast<uint64_t>(offset) : static_cast<uint64_t>(offset);
    switch (origin) {
        case SeekOrigin::Begin:
            if (offset < 0 || magnitude > payloadSize_) ThrowSeekOutOfRange();
            MoveToPayload(magnitude, false);
            return;
        case SeekOrigin::End:
            // The offset counts back from the end of the payload.
            if (offset < 0 || magnitude > payloadSize_) ThrowSeekOutOfRange();
            MoveToPayload(payloadSize_ - magnitude, false);
            return;
        case SeekOrigin::Current:
            if (offset == 0) return;
            if (offset > 0) {
                if (magnitude > payloadSize_ - here) ThrowSeekOutOfRange();
                MoveToPayload(here + magnitude, true);
            } else {
                if (magnitude > here) ThrowSeekOutOfRange();
                MoveToPayload(here - magnitude, false);
            }
            return;
    }
    ThrowSeekOutOfRange();
}

void SignedStream::MoveToPayload(uint64_t x, bool forward) {
    const uint64_t blockSize = layout_.blockSize;
    uint64_t raw = layout_.RawOf(x);
    uint64_t j = x / blockSize + 1;
    if (forward && x == payloadSize_ && x % blockSize != 0) {
        raw += layout_.signatureSize;
        j += 1;
    }
    if (raw > size_) ThrowSeekOutOfRange();  // the header's record is cut off
    MoveRaw(raw);
    SetBlockIndex(j);
}

void SignedStream::RestorePeekState(uint64_t rawPosition, uint64_t state) {
    PlainSeek(static_cast<int64_t>(rawPosition), SeekOrigin::Begin);
    SetBlockIndex(state);
}

uint64_t SignedStream::PayloadBytesLeft() const {
    if (!active_) return RawBytesLeft();
    if (mode_ != 'r') return 0;
    return payloadSize_ - layout_.PayloadOf(pos_);
}

}  // namespace lumenpull
