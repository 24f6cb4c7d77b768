#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

namespace lumenpull {

// The length and a 64-bit hash of an image file's bytes, taken as they are
// written. Equal digests only make two files worth comparing: whether they
// are the same is decided on their bytes.
struct ImageDigest {
    uint64_t size = 0;
    uint64_t hash = 0;
    bool operator==(const ImageDigest&) const = default;
};

// Builds an ImageDigest from the bytes in order, in pieces of any size.
class ImageDigester {
public:
    void add(std::span<const uint8_t> bytes);
    void reset() { *this = ImageDigester(); }
    ImageDigest digest() const;

private:
    uint64_t size_ = 0;
    uint64_t hash_ = 0x9E3779B97F4A7C15ull;
    uint64_t pending_ = 0;  // bytes of an unfinished 8-byte word
    unsigned pendingBytes_ = 0;
};

// The images a run has put in place, for --dedup: by type (the final name's
// extension) and digest, in the order they were put in place. Used by one
// thread only, the one that puts images in place, so that the earlier of
// two equal images is the one earlier in the report for any number of jobs.
class DuplicateImages {
public:
    // The first image put in place whose type and bytes equal those of the
    // closed file `candidate`, which is to become `finalPath`; nothing when
    // there is none. The files' bytes are compared, not only their digests.
    std::optional<std::string> earlierEqual(const std::string& finalPath, const std::string& candidate,
                                            const ImageDigest& digest) const;

    // `finalPath` now holds an image of this digest; what the name held
    // before is forgotten.
    void placed(const std::string& finalPath, const ImageDigest& digest);

private:
    struct Key {
        std::string type;
        ImageDigest digest;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash {
        std::size_t operator()(const Key& key) const;
    };
    static Key keyOf(const std::string& finalPath, const ImageDigest& digest);

    std::unordered_map<Key, std::vector<std::string>, KeyHash> byKey_;  // names in the order they were put in place
    std::unordered_map<std::string, Key> byName_;
};

// Whether two files hold the same bytes; false when either cannot be read.
bool sameBytes(const std::string& a, const std::string& b);

}  // namespace lumenpull
