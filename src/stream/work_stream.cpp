#include "stream/work_stream.h"

#include "stream/stream_errors.h"
#include "stream/tag.h"
#include "lumenpull/error.h"

namespace lumenpull {

namespace {

constexpr uint32_t kWorkThirdTag = 1819413856;  // the bytes 60 0D 72 6C

}  // namespace

void WorkStream::Open(const std::string& path, const char* mode) {
    Close();
    active_ = false;
    gapParam_ = 0;
    if (mode == nullptr || mode[0] != 'r') throw Error("Invalid stream mode, must be 'r'");
    OpenFile(path, 'r', std::ios_base::in | std::ios_base::binary);
    StartReading();
}

void WorkStream::Open(InputFile file) {
    Close();
    active_ = false;
    gapParam_ = 0;
    AdoptInput(std::move(file));
    StartReading();
}

void WorkStream::StartReading() {
    // Read with the plain operations; the skipped field is read too, so that
    // a header cut short says "Error reading".
    ReadHeaderOrClose([this] {
        ExpectTag(MakeTag("WRKS"));
        ExpectTag(MakeTag("TRM1"));
        ExpectTag(kWorkThirdTag);
        ReadU32();
        gapParam_ = ReadU32();
        PlainSeek(static_cast<int64_t>(kHeaderSize), SeekOrigin::Begin);
    });
    active_ = true;
}

void WorkStream::Seek(const int64_t& offset, SeekOrigin origin) {
    if (!active_) {
        PlainSeek(offset, origin);
        return;
    }
    RequireOpen();
    // Unsigned arithmetic: a target before the start of the file wraps to a
    // huge number and fails the upper check.
    const auto shift = static_cast<uint64_t>(offset);
    uint64_t target = 0;
    switch (origin) {
        case SeekOrigin::Begin: target = kHeaderSize + shift; break;
        case SeekOrigin::Current: target = pos_ + shift; break;
        case SeekOrigin::End: target = size_ - shift; break;  // counts back from the end
    }
    const bool beforePayload = target < kHeaderSize || (origin == SeekOrigin::Begin && offset < 0);
    const bool pastEnd = target > size_ || (origin == SeekOrigin::End && offset < 0);
    if (beforePayload || pastEnd) ThrowSeekOutOfRange();
    MoveRaw(target);
}

}  // namespace lumenpull
