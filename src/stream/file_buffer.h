#pragma once

#include <ext/stdio_filebuf.h>

#include <algorithm>
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

    // Copies up to `count` bytes from the reading position without consuming
    // them, filling the get area first if it is empty; returns how many it
    // copied (fewer only when the file, or the system's answer to one read,
    // is shorter).
    std::size_t peekBuffered(void* out, std::size_t count) {
        if (gptr() == egptr() && traits_type::eq_int_type(underflow(), traits_type::eof())) return 0;
        const std::size_t have = std::min(count, static_cast<std::size_t>(egptr() - gptr()));
        std::memcpy(out, gptr(), have);
        return have;
    }

    // Consumes count bytes when the get area holds them all.
    bool skipBuffered(std::size_t count) {
        if (static_cast<std::size_t>(egptr() - gptr()) < count) return false;
        gbump(static_cast<int>(count));
        return true;
    }
};

}  // namespace lumenpull
