#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <span>
#include <string>

// Helpers shared by the fuzz targets: a scratch directory that lives as long
// as the fuzzing process, a little-endian reader over the fuzz input, and a
// check that aborts (so libFuzzer records the input) when a property fails.
namespace lumenpull::fuzz {

// A private directory for the files a target writes and reads. It is made
// under $LUMENPULL_FUZZ_SCRATCH when set (the fuzz runner points it into the
// build folder), otherwise under the system's temporary folder.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

    // Removes everything inside the directory (outputs of the last input).
    void clear() const;

private:
    std::filesystem::path path_;
};

// The one scratch directory of the process, made on first use.
const ScratchDir& scratch();

void writeBytes(const std::string& path, std::span<const uint8_t> bytes);

// Reads integers from the front of the fuzz input; past its end every value is 0.
class InputReader {
public:
    explicit InputReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    uint8_t u8() { return at_ < bytes_.size() ? bytes_[at_++] : 0; }
    uint16_t u16() { return static_cast<uint16_t>(u8() | u8() << 8); }
    uint32_t u32() { return static_cast<uint32_t>(u16()) | static_cast<uint32_t>(u16()) << 16; }
    uint64_t u64() { return static_cast<uint64_t>(u32()) | static_cast<uint64_t>(u32()) << 32; }
    bool done() const { return at_ >= bytes_.size(); }

    // The bytes not consumed yet.
    std::span<const uint8_t> rest() const { return bytes_.subspan(std::min(at_, bytes_.size())); }
    // Takes the next `count` bytes (fewer at the end of the input).
    std::span<const uint8_t> take(size_t count) {
        const auto part = rest().first(std::min(count, rest().size()));
        at_ += part.size();
        return part;
    }

private:
    std::span<const uint8_t> bytes_;
    size_t at_ = 0;
};

}  // namespace lumenpull::fuzz

// A property that must hold for every input; a failure aborts with the
// condition and a note, which libFuzzer reports as a crash.
#define FUZZ_CHECK(condition, note)                                                                   \
    do {                                                                                              \
        if (!(condition)) {                                                                           \
            std::fprintf(stderr, "%s:%d: property failed: %s (%s)\n", __FILE__, __LINE__, #condition, \
                         std::string(note).c_str());                                                  \
            std::abort();                                                                             \
        }                                                                                             \
    } while (false)
