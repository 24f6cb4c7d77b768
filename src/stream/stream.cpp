#include "stream/stream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <limits>
#include <system_error>

#include "bytes/little_endian.h"
#include "stream/stream_errors.h"
#include "lumenpull/error.h"

// Files beyond 4 GiB are read with 64-bit positions on every target,
// the 32-bit Windows build included.
static_assert(sizeof(std::streamoff) >= 8, "file positions must be 64-bit");
static_assert(sizeof(int64_t) == 8 && sizeof(uint32_t) == 4, "fixed-width integers");

namespace lumenpull {

namespace {

// Forward hops up to this many bytes are read through the file buffer.
constexpr uint64_t kShortHop = 1024;

// The file buffer counts in std::streamsize, which is 32-bit on 32-bit
// targets: larger counts are moved in steps of this size.
constexpr uint32_t kLargestStep = uint32_t{1} << 30;

// Moves up to `count` bytes with `transfer` (sgetn or sputn); returns the
// number moved, which falls short only when the file does.
template <typename Byte, typename Transfer>
uint64_t transferAll(Byte* bytes, uint32_t count, Transfer transfer) {
    if (count <= kLargestStep) return static_cast<uint64_t>(transfer(bytes, static_cast<std::streamsize>(count)));
    uint64_t done = 0;
    while (done < count) {
        const auto step = static_cast<std::streamsize>(std::min<uint64_t>(count - done, kLargestStep));
        const auto moved = transfer(bytes + done, step);
        done += static_cast<uint64_t>(moved);
        if (moved != step) break;
    }
    return done;
}

}  // namespace

Stream::~Stream() { PlainClose(); }

void Stream::Open(const std::string& path, const char* mode) {
    Close();
    const char kind = mode != nullptr ? mode[0] : 0;
    if (kind == 'r') {
        OpenFile(path, 'r', std::ios_base::in | std::ios_base::binary);
    } else if (kind == 'w') {
        OpenFile(path, 'w', std::ios_base::out | std::ios_base::trunc | std::ios_base::binary);
    } else {
        ThrowInvalidStreamMode();
    }
}

void Stream::Open(InputFile file) {
    Close();
    AdoptInput(std::move(file));
}

void Stream::OpenFile(const std::string& path, char mode, std::ios_base::openmode access) {
    mode_ = 0;
    if (mode == 'r') {
        AdoptInput(openInputFile(path));
        return;
    }
    // The C library opens a directory without complaint and only fails
    // on the first write; a directory is no file to write.
    std::error_code ignored;
    if (std::filesystem::is_directory(path, ignored)) ThrowErrorOpening(path, "Is a directory");
    auto file = std::make_unique<FileBuffer>();
    errno = 0;
    if (file->open(path, access) == nullptr) {
        ThrowErrorOpening(path, std::strerror(errno != 0 ? errno : EACCES));
    }
    file_ = std::move(file);
    mode_ = mode;
    failed_ = false;
    pos_ = 0;
    size_ = 0;
}

void Stream::AdoptInput(InputFile file) {
    file_ = std::move(file.buffer);
    mode_ = 'r';
    failed_ = false;
    pos_ = 0;
    size_ = file.size;
}

void Stream::Close() { PlainClose(); }

void Stream::PlainClose() {
    if (file_) {
        file_->close();  // a failure while closing is not reported
        file_.reset();
    }
}

void Stream::RequireOpen() const {
    if (!file_) throw Error("Operation on closed stream");
}

void Stream::FailRead() {
    failed_ = true;
    ThrowErrorReading();
}

void Stream::Read(void* buffer, uint32_t count) { PlainRead(buffer, count); }

void Stream::PlainRead(void* buffer, uint32_t count) {
    // Most reads are a few bytes that the file buffer already holds.
    if (file_ && mode_ == 'r' && !failed_ && file_->takeBuffered(buffer, count)) {
        pos_ += count;
        if (pos_ > size_) FailRead();  // the file grew since it was measured
        return;
    }
    PlainReadFromFile(buffer, count);
}

void Stream::PlainReadFromFile(void* buffer, uint32_t count) {
    RequireOpen();
    if (mode_ != 'r') ThrowInvalidMode();
    if (failed_) ThrowErrorReading();
    const uint64_t got = count == 0 ? 0
                                    : transferAll(static_cast<char*>(buffer), count,
                                                  [this](char* at, std::streamsize n) { return file_->sgetn(at, n); });
    pos_ += got;
    // The bytes that were there stay copied and consumed.
    if (got != count || pos_ > size_) FailRead();
}

uint32_t Stream::ReadU32() {
    uint8_t bytes[4];
    Read(bytes, 4);
    return loadLittleEndian32(bytes);
}

void Stream::Write(const void* buffer, uint32_t count) { PlainWrite(buffer, count); }

void Stream::PlainWrite(const void* buffer, uint32_t count) {
    RequireOpen();
    if (mode_ != 'w') ThrowInvalidMode();
    const uint64_t put = count == 0
                             ? 0
                             : transferAll(static_cast<const char*>(buffer), count,
                                           [this](const char* at, std::streamsize n) { return file_->sputn(at, n); });
    pos_ += put;
    if (put != count) throw Error("Writing error");
}

void Stream::Seek(const int64_t& offset, SeekOrigin origin) { PlainSeek(offset, origin); }

void Stream::PlainSeek(const int64_t& offset, SeekOrigin origin) {
    RequireOpen();
    if (mode_ != 'r') {
        // Writing: move the output position as asked, without a range check.
        const auto way = origin == SeekOrigin::Begin     ? std::ios_base::beg
                         : origin == SeekOrigin::Current ? std::ios_base::cur
                                                         : std::ios_base::end;
        const auto at = file_->pubseekoff(offset, way, std::ios_base::out);
        if (at >= 0) pos_ = static_cast<uint64_t>(at);
        return;
    }
    uint64_t target = static_cast<uint64_t>(offset);
    if (origin == SeekOrigin::Current) target += pos_;
    if (origin == SeekOrigin::End) target += size_;
    // A target before the start wraps to a huge number and fails here too.
    if (target > size_) ThrowSeekOutOfRange();
    MoveRaw(target);
}

void Stream::MoveRaw(uint64_t target) {
    if (target == pos_) return;
    // A hop beyond size_t (a 32-bit build on a file past 4 GiB) is no short
    // hop: it must not reach the buffer cut down to its low bits.
    const uint64_t ahead = target - pos_;
    if (target > pos_ && ahead <= std::numeric_limits<std::size_t>::max() &&
        file_->skipBuffered(static_cast<std::size_t>(ahead))) {
        pos_ = target;
        return;
    }
    if (target > pos_ && target - pos_ <= kShortHop) {
        char discard[kShortHop];
        const auto hop = static_cast<std::streamsize>(target - pos_);
        if (file_->sgetn(discard, hop) == hop) {
            pos_ = target;
            return;
        }
        // The file came up short: fall back to an absolute seek.
    }
    if (file_->pubseekpos(static_cast<std::streamoff>(target), std::ios_base::in) < 0) {
        failed_ = true;
        ThrowSeekOutOfRange();
    }
    pos_ = target;
}

uint64_t Stream::Tell() const {
    RequireOpen();
    return pos_;
}

void Stream::RestorePeekState(uint64_t rawPosition, uint64_t /*state*/) {
    PlainSeek(static_cast<int64_t>(rawPosition), SeekOrigin::Begin);
}

void Stream::Peek(void* buffer, uint32_t count) {
    const uint64_t position = Tell();
    const uint64_t state = PeekState();
    Read(buffer, count);
    RestorePeekState(position, state);
}

void Stream::Skip(int64_t count) { Seek(count, SeekOrigin::Current); }

void Stream::ExpectTag(uint32_t expected) {
    const uint32_t found = ReadU32();
    if (found != expected) {
        throw Error("Expected '" + std::to_string(expected) + "' but found '" + std::to_string(found) + "'");
    }
}

Stream& ReadString(Stream& stream, CountedString& string) {
    string.Clear();
    const uint32_t length = stream.ReadU32();
    if (length == 0) return stream;
    // Refuse a length the payload cannot hold before allocating for it.
    if (length > stream.PayloadBytesLeft()) stream.FailRead();
    if constexpr (sizeof(size_t) <= sizeof(uint32_t)) {
        // Where size_t is 32 bits, the terminator of the longest length would not fit.
        if (length == std::numeric_limits<uint32_t>::max()) stream.FailRead();
    }
    string.length = length;
    string.text = std::make_unique<char[]>(static_cast<size_t>(length) + 1);  // zero-filled
    stream.Read(string.text.get(), length);
    return stream;
}

}  // namespace lumenpull
