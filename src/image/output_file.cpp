#include "image/output_file.h"

#include <algorithm>
#include <cstring>

namespace lumenpull {

namespace {

constexpr std::size_t BufferBytes = std::size_t{256} << 10;

}  // namespace

ImageOutput::ImageOutput(const std::string& inputPath, Commit commit)
    : commit_(commit), inputPath_(inputPath), input_(fileIdentity(inputPath)) {}

void ImageOutput::checkNotInput(const std::string& finalPath) const {
    if (inputPath_.empty()) return;
    // The same name, or another name of the same file (a link, "./", letter case).
    if (finalPath == inputPath_ || (input_ && fileIdentity(finalPath) == input_)) {
        throw std::string("Output file would overwrite its input");
    }
}

void ImageOutput::finished(std::unique_ptr<TemporaryFile> image) {
    if (commit_ == Commit::Deferred) {
        kept_.push_back(std::move(image));
        return;
    }
    image->putInPlace();
}

void ImageOutput::commitFinished() {
    std::vector<std::unique_ptr<TemporaryFile>> images;
    images.swap(kept_);  // whatever happens, the rest are removed when `images` goes
    for (auto& image : images) image->putInPlace();
}

OutputFile::OutputFile(ImageOutput& output, const std::string& path) : output_(output) {
    output_.checkNotInput(path);
    file_ = std::make_unique<TemporaryFile>(path);
    buffer_.resize(BufferBytes);
}

void OutputFile::flush() {
    if (used_ != 0) file_->write(std::span<const uint8_t>(buffer_).first(used_));
    used_ = 0;
}

void OutputFile::write(std::span<const uint8_t> bytes) {
    if (bytes.size() > buffer_.size() - used_) flush();
    if (bytes.size() >= buffer_.size()) {
        file_->write(bytes);
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

void OutputFile::restart() {
    used_ = 0;
    file_->restart();
}

void OutputFile::finish() {
    flush();
    file_->close();
    output_.finished(std::move(file_));
}

}  // namespace lumenpull
