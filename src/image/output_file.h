#pragma once

#include <cstdint>
#include <fstream>
#include <span>
#include <string>
#include <vector>

namespace lumenpull {

// A binary output file, created (or truncated) on construction and closed
// when the object goes. Writes go through a generous buffer, so rows can be
// written one small piece at a time. Write errors after creation are not
// reported.
class OutputFile {
public:
    // Throws "Error creating output file" when the file cannot be created.
    explicit OutputFile(const std::string& path);
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    void write(std::span<const uint8_t> bytes);

private:
    std::vector<char> buffer_;
    std::ofstream file_;
};

}  // namespace lumenpull
