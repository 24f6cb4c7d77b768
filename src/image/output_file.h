#pragma once

#include <cstdint>
#include <fstream>
#include <span>
#include <string>
#include <vector>

namespace lumenpull {

// A binary output file, created (or truncated) on construction and closed
// when the object goes. Writes go through a generous buffer of its own, so
// rows can be written one small piece at a time, and an encoder can write
// straight into that buffer (room, then commit) instead of into a buffer of
// its own that is then copied. Write errors after creation are not reported.
class OutputFile {
public:
    // Throws "Error creating output file" when the file cannot be created.
    explicit OutputFile(const std::string& path);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    void write(std::span<const uint8_t> bytes);

    // Room for up to `size` bytes after what has been written; the first
    // `used` of them become part of the file with commit(used). Any other
    // call in between may take the room back.
    std::span<uint8_t> room(std::size_t size);
    void commit(std::size_t used);

private:
    void flush();

    std::vector<uint8_t> buffer_;
    std::size_t used_ = 0;
    std::ofstream file_;
};

}  // namespace lumenpull
