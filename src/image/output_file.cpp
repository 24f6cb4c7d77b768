#include "image/output_file.h"

namespace lumenpull {

namespace {

constexpr std::size_t BufferBytes = 1 << 16;

}  // namespace

OutputFile::OutputFile(const std::string& path) : buffer_(BufferBytes) {
    // The buffer must be in place before the file is opened.
    file_.rdbuf()->pubsetbuf(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
    file_.open(path, std::ios::binary | std::ios::out | std::ios::trunc);
    if (!file_.is_open()) throw std::string("Error creating output file");
}

void OutputFile::write(std::span<const uint8_t> bytes) {
    if (!bytes.empty()) file_.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace lumenpull
