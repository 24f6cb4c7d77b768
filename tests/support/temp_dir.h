#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace lumenpull::test {

// A fresh directory under the system's temporary folder, removed with
// everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string operator/(const std::string& relative) const { return (path_ / relative).string(); }

    // Creates the parent folders as needed.
    void writeFile(const std::string& relative, std::span<const uint8_t> bytes) const;
    void writeFile(const std::string& relative, const std::string& text = {}) const;
    void makeDir(const std::string& relative) const;
    // A file of `size` bytes that are 0 (a hole, where the file system has
    // them) except for each piece's bytes at its offset.
    void writeSparseFile(const std::string& relative, uint64_t size,
                         const std::vector<std::pair<uint64_t, std::string>>& pieces = {}) const;

private:
    std::filesystem::path path_;
};

std::vector<uint8_t> readFileBytes(const std::string& path);

// "f<i><extension>", a file name for the i-th of several inputs. Built by
// appending: GCC 12 at -O3 warns falsely (-Wrestrict) on a literal joined
// to a temporary string.
std::string numberedFileName(int i, const char* extension);

}  // namespace lumenpull::test
