#include "stream/memory_input.h"

#include <algorithm>
#include <cstring>

namespace lumenpull {
namespace {

// A file buffer over bytes it owns. It is never opened: the virtual reading
// and positioning functions are replaced by ones that move inside the get
// area, which the inline fast paths of FileBuffer read directly.
class MemoryFileBuffer : public FileBuffer {
public:
    explicit MemoryFileBuffer(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {
        char* begin = reinterpret_cast<char*>(bytes_.data());
        setg(begin, begin, begin + bytes_.size());
    }

protected:
    int_type underflow() override { return gptr() < egptr() ? traits_type::to_int_type(*gptr()) : traits_type::eof(); }

    std::streamsize showmanyc() override { return egptr() - gptr(); }

    std::streamsize xsgetn(char* out, std::streamsize count) override {
        const std::streamsize have = std::min(count, static_cast<std::streamsize>(egptr() - gptr()));
        if (have > 0) {
            std::memcpy(out, gptr(), static_cast<std::size_t>(have));
            gbump(static_cast<int>(have));
        }
        return have;
    }

    pos_type seekoff(off_type offset, std::ios_base::seekdir way, std::ios_base::openmode mode) override {
        if ((mode & std::ios_base::in) == 0) return pos_type(off_type(-1));
        off_type from = 0;
        if (way == std::ios_base::cur) from = gptr() - eback();
        if (way == std::ios_base::end) from = egptr() - eback();
        return seekpos(pos_type(from + offset), mode);
    }

    pos_type seekpos(pos_type position, std::ios_base::openmode mode) override {
        const off_type at = off_type(position);
        if ((mode & std::ios_base::in) == 0 || at < 0 || at > egptr() - eback()) return pos_type(off_type(-1));
        setg(eback(), eback() + at, egptr());
        return position;
    }

    // Writing is not possible: there is no put area and no file.
    int_type overflow(int_type) override { return traits_type::eof(); }
    int sync() override { return 0; }

private:
    std::vector<uint8_t> bytes_;
};

}  // namespace

InputFile memoryInputFile(std::vector<uint8_t> bytes) {
    InputFile input;
    input.size = bytes.size();
    input.buffer = std::make_unique<MemoryFileBuffer>(std::move(bytes));
    return input;
}

}  // namespace lumenpull
