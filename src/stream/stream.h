#pragma once

#include <cstdint>
#include <fstream>
#include <memory>
#include <string>

#include "stream/counted_string.h"
#include "stream/file_buffer.h"
#include "stream/input_file.h"

namespace lumenpull {

enum class SeekOrigin : int { Begin = 0, Current = 1, End = 2 };

// An exact-length byte stream over one plain file. Every failure is thrown as
// the message text (a std::string). The container streams derive from it and
// translate payload positions; Tell always answers the raw file position.
class Stream {
public:
    Stream() = default;
    Stream(const Stream&) = delete;
    Stream& operator=(const Stream&) = delete;
    virtual ~Stream();

    void Open(const std::string& path, const char* mode);
    // Reads a file already opened (mode 'r').
    void Open(InputFile file);

    virtual void Close();
    virtual void Seek(const int64_t& offset, SeekOrigin origin);
    virtual void Read(void* buffer, uint32_t count);
    virtual void Write(const void* buffer, uint32_t count);

    uint64_t Tell() const;
    void Peek(void* buffer, uint32_t count);
    void Skip(int64_t count);
    void ExpectTag(uint32_t expected);

    // Raw file bytes from the current position to the end of the file: an
    // upper bound of the payload still readable, used to refuse counts that
    // the file cannot hold before anything is allocated for them.
    uint64_t RawBytesLeft() const { return pos_ < size_ ? size_ - pos_ : 0; }

    // Payload bytes from the current position to the end of the payload (the
    // raw bytes left for a plain file; a container leaves out its records).
    virtual uint64_t PayloadBytesLeft() const { return RawBytesLeft(); }

    bool IsOpen() const { return file_ != nullptr; }
    char Mode() const { return mode_; }
    uint64_t Size() const { return size_; }

protected:
    // Opens the file for the given access and records mode and size; throws
    // "Error opening file <path>: <reason>" when it cannot be opened.
    void OpenFile(const std::string& path, char mode, std::ios_base::openmode access);
    // Takes over an opened input file for reading, at its start.
    void AdoptInput(InputFile file);
    void PlainRead(void* buffer, uint32_t count);
    // The checks and the read through the file buffer's own interface.
    void PlainReadFromFile(void* buffer, uint32_t count);
    void PlainSeek(const int64_t& offset, SeekOrigin origin);
    void PlainWrite(const void* buffer, uint32_t count);
    void PlainClose();
    void RequireOpen() const;

    // Runs a container's header reader on a freshly opened file; when it
    // throws, the file is closed and the mode reset before the error goes on,
    // so that a failed Open leaves no open file behind.
    template <typename HeaderReader>
    void ReadHeaderOrClose(HeaderReader&& readHeader) {
        try {
            readHeader();
        } catch (...) {
            PlainClose();
            mode_ = 0;
            throw;
        }
    }

    // Moves the input position to a raw offset already known to lie within
    // the file. Short forward hops are read through the file buffer instead
    // of seeking, which would drop the buffer and cost two system calls.
    void MoveRaw(uint64_t target);

    // Marks the stream failed and throws "Error reading".
    [[noreturn]] void FailRead();

    // A little-endian u32 read through the virtual Read (header fields).
    uint32_t ReadU32();

    // Container streams keep position bookkeeping beside the raw position;
    // Peek saves and restores it through these two hooks.
    virtual uint64_t PeekState() const { return 0; }
    virtual void RestorePeekState(uint64_t rawPosition, uint64_t state);

    std::unique_ptr<FileBuffer> file_;
    char mode_ = 0;
    uint64_t size_ = 0;
    uint64_t pos_ = 0;     // raw position, tracked so Tell costs no system call
    bool failed_ = false;  // a failed read poisons every later read

    friend Stream& ReadString(Stream& stream, CountedString& string);
};

// Reads a counted string: a u32 length, then that many bytes. A length beyond
// the payload bytes left fails with "Error reading" before any allocation and
// leaves the string empty and the stream failed.
Stream& ReadString(Stream& stream, CountedString& string);

}  // namespace lumenpull
