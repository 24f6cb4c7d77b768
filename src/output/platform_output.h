#pragma once

// The one place that talks to the file system for image output: temporary
// files beside an image's final name, the rename that puts one in place,
// telling two names of one file apart, and the removal of an unfinished
// temporary file when the process is interrupted. A Windows build replaces
// the implementation and leaves every caller unchanged.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace lumenpull {

// Device and inode of a file (volume serial number and file index on
// Windows): two names with the same identity name one file.
struct FileIdentity {
    uint64_t device = 0;
    uint64_t file = 0;
    bool operator==(const FileIdentity&) const = default;
};

// The identity of the file `path` names, symbolic links followed; nothing
// when there is no such file or it cannot be queried.
std::optional<FileIdentity> fileIdentity(const std::string& path);

// The longest output path the platform takes, in characters.
std::size_t longestOutputPath();

// An image on its way to its final name. Its bytes go to a file of its own,
// created exclusively in the final name's folder under a name that no image
// or input has (a dot, a number, ".lumenpull-tmp"); only once it is complete
// and closed is it renamed over the final name, so that no name ever shows a
// partial image and the previous image stays whole until it is replaced. An
// interrupt (SIGINT, SIGTERM, SIGHUP or SIGPIPE; Ctrl+C or a closed console
// on Windows) removes it before the process ends, as the destructor does.
class TemporaryFile {
public:
    // Throws "Error creating output file: <final name>: <reason>" when the
    // file cannot be made, or when the final name is a read-only file.
    explicit TemporaryFile(const std::string& finalPath);
    ~TemporaryFile();
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    // Write and close throw "Error writing output file: <final name>:
    // <reason>" when the system refuses the bytes (a full disk, a quota, an
    // I/O error); writing goes on until every byte is taken.
    void write(std::span<const uint8_t> bytes);
    void close();
    // Writes from the start of the file again: once it is closed, the file
    // holds only what was written after this. Throws "Error writing output
    // file: <final name>: <reason>" on failure.
    void restart();

    // Renames the closed file over the final name, replacing whatever file
    // or symbolic link is there (a link is replaced, never written through).
    // Throws "Error creating output file: <final name>: <reason>" when that
    // fails; the temporary file is removed either way.
    void putInPlace();

    // Instead of putInPlace, when the closed file holds the same bytes as
    // the file `earlier`: puts a hard link to `earlier` in place under the
    // final name (made under a temporary name of its own and renamed over
    // the final name, as a file is), and the temporary file is removed.
    // Nothing needs doing when the final name is already `earlier`'s file.
    // Returns false, with nothing changed, where no link can be made (a file
    // system without them, another device); throws as putInPlace does when
    // the link cannot be renamed into place.
    bool putInPlaceAsLinkTo(const std::string& earlier);

    const std::string& finalPath() const;
    const std::string& temporaryPath() const;

    struct State;

private:
    std::unique_ptr<State> state_;
};

// While one lives, the report line begun on standard output is still open:
// an interrupt that ends the process (see installInterruptCleanup) ends it
// with "interrupted" first, so the output does not stop in the middle of a
// line. `beginLine` writes and flushes the line's beginning; the object
// goes once its end is flushed.
class InterruptedLineEnd {
public:
    explicit InterruptedLineEnd(const std::function<void()>& beginLine);
    ~InterruptedLineEnd();
    InterruptedLineEnd(const InterruptedLineEnd&) = delete;
    InterruptedLineEnd& operator=(const InterruptedLineEnd&) = delete;
};

// Makes SIGINT, SIGTERM, SIGHUP and SIGPIPE (Ctrl+C and console close on
// Windows) remove the
// temporary files being written before the process ends with 128 + the
// signal number. A signal that was ignored when the program started stays
// ignored.
void installInterruptCleanup();

}  // namespace lumenpull
