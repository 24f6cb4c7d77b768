#pragma once

#include <ext/stdio_filebuf.h>

#include <cstddef>
#include <cstring>
#include <fstream>

namespace lumenpull {

// The standard file buffer with direct access to the bytes it already holds.
// Reading a few bytes through sgetn costs a virtual call and the buffer's
// general bookkeeping; the readers make millions of 4-byte reads, which are
// served here by a comparison and a copy. Anything the buffer does not hold
// in full goes the standard way.
// It is the library's file buffer that can also take over a file descriptor
// (and close it): an input is opened and checked first (platform_input.h),
// and the buffer then reads exactly the file that was checked.
class FileBuffer : public __gnu_cxx::stdio_filebuf<char> {
public:
    FileBuffer() = default;
    FileBuffer(int descriptor, std::ios_base::openmode mode) : __gnu_cxx::stdio_filebuf<char>(descriptor, mode) {}

    // Copies count bytes and consumes them when the get area holds them all;
    // returns false (having done nothing) otherwise.
    bool takeBuffered(void* out, std::size_t count) {
        if (static_cast<std::size_t>(egptr() - gptr()) < count) return false;
        if (count == 0) return true;  // nothing to copy (either pointer may be null)
        if (count == 4) {
            std::memcpy(out, gptr(), 4);  // the common case, copied inline
        } else {
            std::memcpy(out, gptr(), count);
        }
        gbump(static_cast<int>(count));
        return true;
    }

    // Consumes count bytes when the get area holds them all.
    bool skipBuffered(std::size_t count) {
        if (static_cast<std::size_t>(egptr() - gptr()) < count) return false;
        gbump(static_cast<int>(count));
        return true;
    }
};

}  // namespace lumenpull
