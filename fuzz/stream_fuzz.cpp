// Any byte string, written to a scratch file and opened as a plain stream, a
// work stream, a signed container (with and without the key check) and by
// sniffing, is read through with reads, peeks, skips, seeks, tag checks and
// counted strings chosen by the input. Besides memory errors, every step is
// checked against a model of the payload: the bytes a read returns are the
// bytes one whole-payload read returns at that position, a move lands where
// its arithmetic says or fails leaving the position alone, and the bytes left
// always match the position.
//
// Input: one byte n, n bytes of script, then the file's bytes.

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "fuzz_support.h"
#include "stream/open_stream.h"
#include "stream/signed_stream.h"
#include "stream/stream.h"
#include "stream/work_stream.h"
#include "lumenpull/error.h"

namespace lumenpull::fuzz {
namespace {

enum class Kind { Plain, Work, Signed, Sniffed };

// How a stream reads Seek(offset, End): a plain stream adds the offset to
// the end, the containers count it back from the end of the payload.
bool endCountsBack(const Stream& stream) {
    return dynamic_cast<const WorkStream*>(&stream) != nullptr || dynamic_cast<const SignedStream*>(&stream) != nullptr;
}

std::unique_ptr<Stream> openAs(Kind kind, const std::string& path, bool verify) {
    switch (kind) {
        case Kind::Plain: {
            auto s = std::make_unique<Stream>();
            s->Open(path, "r");
            return s;
        }
        case Kind::Work: {
            auto s = std::make_unique<WorkStream>();
            s->Open(path, "r");
            return s;
        }
        case Kind::Signed: {
            auto s = std::make_unique<SignedStream>();
            s->Open(path, "r", verify);
            return s;
        }
        case Kind::Sniffed: break;
    }
    return OpenStream(path, "r", 1, verify, true);
}

// Runs `step` and reports whether it threw one of the texts the streams raise.
template <typename Step>
bool succeeds(Step&& step) {
    try {
        step();
        return true;
    } catch (const lumenpull::Error&) {
        return false;
    }
}

class Model {
public:
    Model(Stream& stream, std::vector<uint8_t> whole, size_t bufferSize)
        : s_(stream), whole_(std::move(whole)), total_(whole_.size()), buffer_(bufferSize) {}

    void run(InputReader& script) {
        // LUMENPULL_FUZZ_TRACE=1 prints every step when replaying one input.
        const bool trace = std::getenv("LUMENPULL_FUZZ_TRACE") != nullptr;
        for (int op = 0; op < 64 && !script.done(); ++op) {
            const uint8_t code = script.u8();
            if (trace) {
                std::fprintf(stderr, "op %u at payload %llu of %llu (left %llu)%s\n", code % 12,
                             static_cast<unsigned long long>(pos_), static_cast<unsigned long long>(total_),
                             static_cast<unsigned long long>(s_.PayloadBytesLeft()), failed_ ? ", failed" : "");
            }
            switch (code % 12) {
                case 0: read(script.u8() % 16, false); break;
                case 1: read(script.u16(), false); break;
                case 2: read(script.u32(), false); break;
                case 3: read(script.u8() % 16, true); break;
                case 4: read(script.u16(), true); break;
                case 5: skip(static_cast<int8_t>(script.u8())); break;
                case 6: skip(static_cast<int32_t>(script.u32())); break;
                case 7: skip(static_cast<int64_t>(script.u64())); break;
                case 8:
                    seekBegin(code & 0x80 ? static_cast<int64_t>(script.u64()) : static_cast<int32_t>(script.u32()));
                    break;
                case 9: seekEnd(static_cast<int32_t>(script.u32())); break;
                case 10: expectTag(script.u32(), (code & 0x80) != 0); break;
                case 11: readString(); break;
            }
            FUZZ_CHECK(s_.PayloadBytesLeft() == total_ - pos_, "bytes left follow the position");
        }
    }

private:
    uint64_t left() const { return total_ - pos_; }

    // After a failed read the stream may have consumed part of the bytes:
    // the model takes the position the stream reports.
    void resync() {
        failed_ = true;
        const uint64_t reported = s_.PayloadBytesLeft();
        FUZZ_CHECK(reported <= total_, "bytes left within the payload");
        pos_ = total_ - reported;
    }

    void read(uint32_t count, bool peek) {
        std::fill(buffer_.begin(), buffer_.end(), uint8_t{0xEE});
        // A read that fails may copy the bytes that were there, never more.
        const bool ok = succeeds([&] {
            if (peek)
                s_.Peek(buffer_.data(), count);
            else
                s_.Read(buffer_.data(), count);
        });
        if (failed_ || count > left()) {
            FUZZ_CHECK(!ok, "a read past the payload or on a failed stream fails");
            resync();
            return;
        }
        FUZZ_CHECK(ok, "a read within the payload succeeds");
        FUZZ_CHECK(std::equal(buffer_.begin(), buffer_.begin() + count, whole_.begin() + static_cast<ptrdiff_t>(pos_)),
                   "a read returns the payload bytes at its position");
        if (!peek) pos_ += count;
    }

    void moveTo(bool allowed, uint64_t target, bool ok) {
        // A signed container whose first record is cut off by the end of the
        // file has an empty payload that cannot be moved to.
        if (total_ == 0 && !ok) return;
        if (!allowed) {
            FUZZ_CHECK(!ok, "a move outside the payload fails");
            return;  // and leaves the position where it was
        }
        FUZZ_CHECK(ok, "a move within the payload succeeds");
        pos_ = target;
    }

    void skip(int64_t count) {
        const bool ok = succeeds([&] { s_.Skip(count); });
        if (count >= 0) {
            moveTo(static_cast<uint64_t>(count) <= left(), pos_ + static_cast<uint64_t>(count), ok);
        } else {
            const uint64_t back = 0 - static_cast<uint64_t>(count);
            moveTo(back <= pos_, pos_ - back, ok);
        }
    }

    void seekBegin(int64_t offset) {
        const bool ok = succeeds([&] { s_.Seek(offset, SeekOrigin::Begin); });
        moveTo(offset >= 0 && static_cast<uint64_t>(offset) <= total_, static_cast<uint64_t>(offset), ok);
    }

    void seekEnd(int64_t offset) {
        const bool ok = succeeds([&] { s_.Seek(offset, SeekOrigin::End); });
        const int64_t back = endCountsBack(s_) ? offset : -offset;
        moveTo(back >= 0 && static_cast<uint64_t>(back) <= total_, total_ - static_cast<uint64_t>(back), ok);
    }

    void expectTag(uint32_t value, bool useActual) {
        uint32_t expected = value;
        const bool available = !failed_ && left() >= 4;
        if (useActual && available) std::memcpy(&expected, whole_.data() + pos_, 4);
        const bool ok = succeeds([&] { s_.ExpectTag(expected); });
        if (!available) {
            FUZZ_CHECK(!ok, "a tag past the payload fails");
            resync();
            return;
        }
        uint32_t actual = 0;
        std::memcpy(&actual, whole_.data() + pos_, 4);
        FUZZ_CHECK(ok == (actual == expected), "a tag check compares the next four payload bytes");
        pos_ += 4;  // a mismatch has read the tag as well
    }

    void readString() {
        CountedString text;
        const bool ok = succeeds([&] { ReadString(s_, text); });
        uint32_t length = 0;
        const bool lengthThere = !failed_ && left() >= 4;
        if (lengthThere) std::memcpy(&length, whole_.data() + pos_, 4);
        if (!lengthThere || length > left() - 4) {
            FUZZ_CHECK(!ok, "a string past the payload fails");
            resync();
            return;
        }
        FUZZ_CHECK(ok, "a string within the payload is read");
        FUZZ_CHECK(text.Length() == length, "the string has its stored length");
        if (length > 0) {
            FUZZ_CHECK(std::memcmp(text.c_str(), whole_.data() + pos_ + 4, length) == 0 && text.c_str()[length] == 0,
                       "the string holds the payload bytes and a terminator");
        }
        pos_ += 4 + uint64_t{length};
    }

    Stream& s_;
    std::vector<uint8_t> whole_;
    uint64_t total_;
    std::vector<uint8_t> buffer_;
    uint64_t pos_ = 0;
    bool failed_ = false;
};

void exercise(Kind kind, const std::string& path, size_t fileSize, bool verify, std::span<const uint8_t> script) {
    std::unique_ptr<Stream> stream;
    try {
        stream = openAs(kind, path, verify);
    } catch (const lumenpull::Error&) {
        return;  // not a file of this kind
    }
    // The whole payload in one read, from a second stream of the same kind.
    const uint64_t total = stream->PayloadBytesLeft();
    FUZZ_CHECK(total <= fileSize, "the payload lies within the file");
    std::vector<uint8_t> whole(static_cast<size_t>(total));  // no more than the file's size
    {
        auto reference = openAs(kind, path, verify);
        FUZZ_CHECK(succeeds([&] { reference->Read(whole.data(), static_cast<uint32_t>(total)); }),
                   "the whole payload reads in one go");
        FUZZ_CHECK(reference->PayloadBytesLeft() == 0, "nothing is left after the whole payload");
        uint8_t extra = 0;
        FUZZ_CHECK(!succeeds([&] { reference->Read(&extra, 1); }), "nothing reads past the payload");
    }
    InputReader reader(script);
    Model model(*stream, std::move(whole), fileSize + 16);
    model.run(reader);
}

}  // namespace
}  // namespace lumenpull::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace lumenpull::fuzz;
    InputReader input(std::span<const uint8_t>(data, size));
    const uint8_t scriptLength = input.u8();
    const auto script = input.take(scriptLength);
    const auto file = input.rest();
    const std::string path = scratch().file("input.bin");
    writeBytes(path, file);
    const bool verify = scriptLength % 2 == 0;
    for (const Kind kind : {Kind::Plain, Kind::Work, Kind::Signed, Kind::Sniffed}) {
        exercise(kind, path, file.size(), verify, script);
    }
    return 0;
}
