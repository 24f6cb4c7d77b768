#include "image/output_file.h"

#include <algorithm>
#include <cstring>

namespace lumenpull {

namespace {

constexpr std::size_t BufferBytes = std::size_t{256} << 10;

}  // namespace

OutputFile::OutputFile(const std::string& path) : buffer_(BufferBytes) {
    // The stream itself is unbuffered (set before it opens): this class buffers.
    file_.rdbuf()->pubsetbuf(nullptr, 0);
    file_.open(path, std::ios::binary | std::ios::out | std::ios::trunc);
    if (!file_.is_open()) throw std::string("Error creating output file");
}

OutputFile::~OutputFile() { flush(); }

void OutputFile::flush() {
    if (used_ != 0) file_.write(reinterpret_cast<const char*>(buffer_.data()), static_cast<std::streamsize>(used_));
    used_ = 0;
}

void OutputFile::write(std::span<const uint8_t> bytes) {
    if (bytes.size() > buffer_.size() - used_) flush();
    if (bytes.size() >= buffer_.size()) {
        file_.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return;
    }
    if (!bytes.empty()) std::memcpy(buffer_.data() + used_, bytes.data(), bytes.size());
    used_ += bytes.size();
}

std::span<uint8_t> OutputFile::room(std::size_t size) {
    if (size > buffer_.size() - used_) flush();
    if (size > buffer_.size()) buffer_.resize(size);
    return std::span<uint8_t>(buffer_).subspan(used_, size);
}

void OutputFile::commit(std::size_t used) { used_ += std::min(used, buffer_.size() - used_); }

}  // namespace lumenpull
