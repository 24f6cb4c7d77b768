#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "output/duplicate_images.h"
#include "output/platform_output.h"

namespace lumenpull {

// The files a writer writes for one texture, in the order it writes them:
// their final names, and the images they hold (a cube-map DDS file holds
// six). Each writer has a function that lists them without decoding or
// writing a pixel; a listing shows them.
struct ImageFiles {
    std::vector<std::string> names;
    int32_t images = 0;
};

// An image file made in memory instead of on disk (see ImageOutput::InMemory).
struct MemoryFile {
    std::string name;  // the final name the writer gave it
    std::vector<uint8_t> bytes;
    int32_t images = 1;
};

// Where the images of one input file go. Each image is written to a
// temporary file of its own and, once complete and closed, put in place:
// renamed over its final name. By default every image is put in place as soon
// as it is finished; an output made with Placing::Deferred keeps the finished
// images until putFinishedInPlace(), so that a caller can put them in place
// later and in an order of its choosing. Images never put in place are
// removed. An output
// made with Placing::InMemory touches no file at all: every finished file is
// kept as bytes (memoryFiles()), for callers that hand images on themselves.
class ImageOutput {
public:
    enum class Placing { Immediately, Deferred, InMemory };

    // Nothing to protect: for images that are not made from an input file.
    ImageOutput() = default;
    // No image is written over `inputPath`, under that name or any other name
    // of the same file.
    explicit ImageOutput(const std::string& inputPath, Placing placing = Placing::Immediately);

    // Throws "Output file would overwrite its input" when `finalPath` names
    // the input file.
    void checkNotInput(const std::string& finalPath) const;

    // What a writer that only lists does where it would make a file: the
    // name is checked as for a file, then added to `files` with its images.
    void list(const std::string& finalPath, ImageFiles& files, int32_t images = 1) const;

    // With --dedup: an image whose type and bytes equal those of an image
    // `images` holds is put in place as a hard link to the first of them
    // (as itself, a copy, where the file system has no links), and every
    // image put in place is added to it. `images` outlives this output.
    void findDuplicatesIn(DuplicateImages& images) { duplicates_ = &images; }
    bool findsDuplicates() const { return duplicates_ != nullptr; }

    // Takes a complete, closed file of `images` images (more than one for a
    // cube map) whose bytes have `digest` (looked at only when duplicates are
    // found): puts it in place now, or keeps it for putFinishedInPlace(). A
    // failed placing throws "Error creating output file: <name>: <reason>"
    // and removes the image's temporary file.
    void finished(std::unique_ptr<TemporaryFile> image, int32_t images = 1, const ImageDigest& digest = {});

    // Puts the kept images in place in the order they were finished. On the first
    // failure the rest are removed and the error is thrown.
    void putFinishedInPlace();

    bool inMemory() const { return placing_ == Placing::InMemory; }
    // Takes a complete file made in memory (InMemory only).
    void finishedInMemory(MemoryFile file) { memoryFiles_.push_back(std::move(file)); }
    std::vector<MemoryFile>& memoryFiles() { return memoryFiles_; }

    // The final names of the files put in place so far, in order, and the
    // images they hold: what the input file has come to on disk.
    const std::vector<std::string>& placedFiles() const { return placedFiles_; }
    int64_t placedImages() const { return placedImages_; }
    // For each placed file, the earlier image of the run it equals (see
    // findDuplicatesIn), or an empty name.
    const std::vector<std::string>& placedSameAs() const { return placedSameAs_; }

private:
    struct Kept {
        std::unique_ptr<TemporaryFile> file;
        int32_t images;
        ImageDigest digest;
    };
    void putInPlace(TemporaryFile& file, int32_t images, const ImageDigest& digest);

    Placing placing_ = Placing::Immediately;
    std::string inputPath_;
    std::optional<FileIdentity> input_;
    std::vector<Kept> kept_;
    std::vector<std::string> placedFiles_;
    std::vector<std::string> placedSameAs_;
    int64_t placedImages_ = 0;
    DuplicateImages* duplicates_ = nullptr;
    std::vector<MemoryFile> memoryFiles_;
};

// One image file being written. Writes go through a generous buffer of its
// own, so rows can be written one small piece at a time, and an encoder can
// write straight into that buffer (room, then accept) instead of into a
// buffer of its own that is then copied. The bytes go to a temporary file
// (see TemporaryFile); finish() closes it and hands it to the ImageOutput.
// An OutputFile that goes without finish() leaves nothing behind.
class OutputFile {
public:
    // Throws "Output file would overwrite its input" or "Error creating
    // output file: <path>: <reason>".
    OutputFile(ImageOutput& output, const std::string& path);
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // A failed write throws "Error writing output file: <path>: <reason>".
    void write(std::span<const uint8_t> bytes);

    // Room for up to `size` bytes after what has been written; the first
    // `used` of them become part of the file with accept(used). Any other
    // call in between may take the room back.
    std::span<uint8_t> room(std::size_t size);
    void accept(std::size_t used);

    // Drops everything written so far, buffered or not: the file starts
    // again empty (the same temporary file, so nothing reaches the final
    // name in between). Throws "Error writing output file: …".
    void restart();

    // Writes what is buffered, closes the file and hands it to the output
    // as a file of `images` images. Throws "Error writing output file: …" or
    // "Error creating output file: …".
    void finish(int32_t images = 1);

private:
    void flush();
    // Bytes past the buffer: to the temporary file, or to memory.
    void send(std::span<const uint8_t> bytes);

    std::span<uint8_t> buffer() { return {buffer_.get(), capacity_}; }

    ImageOutput& output_;
    // Never cleared: only bytes written into it reach the file, and clearing
    // 256 KiB would cost a small image more than its own bytes do.
    std::unique_ptr<uint8_t[]> buffer_;
    std::size_t capacity_ = 0;
    std::size_t used_ = 0;
    bool flushed_ = false;                 // bytes have gone to the file since it was opened or restarted
    std::unique_ptr<TemporaryFile> file_;  // null for an output in memory
    std::string path_;
    std::vector<uint8_t> memory_;  // the bytes sent so far, in memory
    ImageDigester digester_;       // of the bytes sent, when the output finds duplicates
};

}  // namespace lumenpull
