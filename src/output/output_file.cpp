#include "output/output_file.h"
#include "lumenpull/error.h"

#include <algorithm>
#include <cstring>

namespace lumenpull {

namespace {

constexpr std::size_t BufferBytes = std::size_t{256} << 10;

}  // namespace

ImageOutput::ImageOutput(const std::string& inputPath, Placing placing)
    : placing_(placing), inputPath_(inputPath), input_(fileIdentity(inputPath)) {}

void ImageOutput::checkNotInput(const std::string& finalPath) const {
    if (inputPath_.empty()) return;
    // The same name, or another name of the same file (a link, "./", letter case).
    if (finalPath == inputPath_ || (input_ && fileIdentity(finalPath) == input_)) {
        throw Error("Output file would overwrite its input");
    }
}

void ImageOutput::list(const std::string& finalPath, ImageFiles& files, int32_t images) const {
    checkNotInput(finalPath);
    files.names.push_back(finalPath);
    files.images += images;
}

void ImageOutput::finished(std::unique_ptr<TemporaryFile> image, int32_t images, const ImageDigest& digest) {
    if (placing_ == Placing::Deferred) {
        kept_.push_back({std::move(image), images, digest});
        return;
    }
    putInPlace(*image, images, digest);
}

void ImageOutput::putFinishedInPlace() {
    std::vector<Kept> kept;
    kept.swap(kept_);  // whatever happens, the rest are removed when `kept` goes
    for (Kept& image : kept) putInPlace(*image.file, image.images, image.digest);
}

void ImageOutput::putInPlace(TemporaryFile& file, int32_t images, const ImageDigest& digest) {
    std::string sameAs;
    if (duplicates_) {
        if (auto earlier = duplicates_->earlierEqual(file.finalPath(), file.temporaryPath(), digest)) {
            sameAs = std::move(*earlier);
            // Where no link can be made, the image goes in place as the
            // copy it already is.
            if (!file.putInPlaceAsLinkTo(sameAs)) file.putInPlace();
        } else {
            file.putInPlace();
        }
        duplicates_->placed(file.finalPath(), digest);
    } else {
        file.putInPlace();
    }
    placedFiles_.push_back(file.finalPath());
    placedSameAs_.push_back(std::move(sameAs));
    placedImages_ += images;
}

OutputFile::OutputFile(ImageOutput& output, const std::string& path) : output_(output), path_(path) {
    output_.checkNotInput(path);
    if (!output_.inMemory()) file_ = std::make_unique<TemporaryFile>(path);
    buffer_ = std::make_unique_for_overwrite<uint8_t[]>(BufferBytes);
    capacity_ = BufferBytes;
}

void OutputFile::send(std::span<const uint8_t> bytes) {
    if (output_.findsDuplicates()) digester_.add(bytes);
    if (file_) {
        file_->write(bytes);
    } else {
        memory_.insert(memory_.end(), bytes.begin(), bytes.end());
    }
    flushed_ = true;
}

void OutputFile::flush() {
    if (used_ != 0) send(buffer().first(used_));
    used_ = 0;
}

void OutputFile::write(std::span<const uint8_t> bytes) {
    if (bytes.size() > capacity_ - used_) flush();
    if (bytes.size() >= capacity_) {
        send(bytes);
        return;
    }
    if (!bytes.empty()) std::memcpy(buffer_.get() + used_, bytes.data(), bytes.size());
    used_ += bytes.size();
}

std::span<uint8_t> OutputFile::room(std::size_t size) {
    if (size > capacity_ - used_) flush();
    if (size > capacity_) {
        // Empty after the flush: nothing to carry over.
        buffer_ = std::make_unique_for_overwrite<uint8_t[]>(size);
        capacity_ = size;
    }
    return buffer().subspan(used_, size);
}

void OutputFile::accept(std::size_t used) { used_ += std::min(used, capacity_ - used_); }

void OutputFile::restart() {
    used_ = 0;
    // A small image is still all in the buffer: the file itself is empty.
    if (flushed_) {
        if (file_) {
            file_->restart();
        } else {
            memory_.clear();
        }
    }
    flushed_ = false;
    digester_.reset();
}

void OutputFile::finish(int32_t images) {
    flush();
    if (!file_) {
        output_.finishedInMemory({path_, std::move(memory_), images});
        return;
    }
    file_->close();
    output_.finished(std::move(file_), images, digester_.digest());
}

}  // namespace lumenpull
