#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
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

private:
    std::filesystem::path path_;
};

std::vector<uint8_t> readFileBytes(const std::string& path);

}  // namespace lumenpull::test
