#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "stream/file_buffer.h"

namespace lumenpull {

// An input file opened for reading, checked to be a regular file and
// measured, not yet read from: what a stream takes over. Opening it once and
// handing it on lets the kind of a file be told from its first bytes without
// opening it a second time.
struct InputFile {
    std::unique_ptr<FileBuffer> buffer;
    uint64_t size = 0;
};

// Throws "Error opening file <path>: <reason>" (see openRegularFile).
InputFile openInputFile(const std::string& path);

}  // namespace lumenpull
