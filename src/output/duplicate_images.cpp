#include "output/duplicate_images.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

namespace lumenpull {
namespace {

uint64_t mixed(uint64_t hash, uint64_t word) {
    hash ^= word * 0xBF58476D1CE4E5B9ull;
    hash = (hash << 27 | hash >> 37) * 0x94D049BB133111EBull;
    return hash;
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using OpenFile = std::unique_ptr<std::FILE, FileCloser>;

// The extension of a path's file name, the type of the image it holds.
std::string extensionOf(const std::string& path) {
    const std::size_t dot = path.rfind('.');
    const std::size_t separator = path.find_last_of("/\\");
    if (dot == std::string::npos || (separator != std::string::npos && dot < separator)) return {};
    return path.substr(dot + 1);
}

}  // namespace

void ImageDigester::add(std::span<const uint8_t> bytes) {
    size_ += bytes.size();
    std::size_t at = 0;
    while (pendingBytes_ != 0 && at < bytes.size()) {
        pending_ |= uint64_t{bytes[at++]} << (8 * pendingBytes_);
        if (++pendingBytes_ == 8) {
            hash_ = mixed(hash_, pending_);
            pending_ = 0;
            pendingBytes_ = 0;
        }
    }
    // Whole words while there are eight bytes, little-endian whatever the
    // machine, so that the same bytes give the same digest everywhere.
    for (; at + 8 <= bytes.size(); at += 8) {
        uint64_t word = 0;
        for (unsigned i = 0; i < 8; ++i) word |= uint64_t{bytes[at + i]} << (8 * i);
        hash_ = mixed(hash_, word);
    }
    for (; at < bytes.size(); ++at) pending_ |= uint64_t{bytes[at]} << (8 * pendingBytes_++);
}

ImageDigest ImageDigester::digest() const {
    uint64_t hash = hash_;
    if (pendingBytes_ != 0) hash = mixed(hash, pending_ | uint64_t{pendingBytes_} << 60);
    return {size_, mixed(hash, size_)};
}

std::size_t DuplicateImages::KeyHash::operator()(const Key& key) const {
    return static_cast<std::size_t>(key.digest.hash ^ std::hash<std::string>()(key.type));
}

DuplicateImages::Key DuplicateImages::keyOf(const std::string& finalPath, const ImageDigest& digest) {
    return {extensionOf(finalPath), digest};
}

std::optional<std::string> DuplicateImages::earlierEqual(const std::string& finalPath, const std::string& candidate,
                                                         const ImageDigest& digest) const {
    const auto found = byKey_.find(keyOf(finalPath, digest));
    if (found == byKey_.end()) return std::nullopt;
    for (const std::string& earlier : found->second) {
        if (sameBytes(earlier, candidate)) return earlier;
    }
    return std::nullopt;
}

void DuplicateImages::placed(const std::string& finalPath, const ImageDigest& digest) {
    const Key key = keyOf(finalPath, digest);
    const auto previous = byName_.find(finalPath);
    if (previous != byName_.end()) {
        if (previous->second == key) return;
        // The name now holds other bytes: it is no longer an image of that key.
        const auto names = byKey_.find(previous->second);
        if (names != byKey_.end()) {
            std::erase(names->second, finalPath);
            if (names->second.empty()) byKey_.erase(names);
        }
        previous->second = key;
    } else {
        byName_.emplace(finalPath, key);
    }
    byKey_[key].push_back(finalPath);
}

bool sameBytes(const std::string& a, const std::string& b) {
    const OpenFile first(std::fopen(a.c_str(), "rb"));
    const OpenFile second(std::fopen(b.c_str(), "rb"));
    if (!first || !second) return false;
    constexpr std::size_t kPiece = std::size_t{64} << 10;
    const auto one = std::make_unique_for_overwrite<uint8_t[]>(kPiece);
    const auto other = std::make_unique_for_overwrite<uint8_t[]>(kPiece);
    for (;;) {
        const std::size_t got = std::fread(one.get(), 1, kPiece, first.get());
        const std::size_t gotOther = std::fread(other.get(), 1, kPiece, second.get());
        if (got != gotOther || std::memcmp(one.get(), other.get(), got) != 0) return false;
        if (got < kPiece) return std::ferror(first.get()) == 0 && std::ferror(second.get()) == 0;
    }
}

}  // namespace lumenpull
