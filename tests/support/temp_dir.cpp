#include "support/temp_dir.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace lumenpull::test {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "lumenpull-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    // Tests may leave read-only folders behind; open them up first.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                     ignored);
    }
    std::filesystem::remove_all(path_, ignored);
}

void TempDir::writeFile(const std::string& relative, std::span<const uint8_t> bytes) const {
    const auto full = path_ / relative;
    std::filesystem::create_directories(full.parent_path());
    std::ofstream out(full, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + full.string());
}

void TempDir::writeFile(const std::string& relative, const std::string& text) const {
    writeFile(relative, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

void TempDir::makeDir(const std::string& relative) const { std::filesystem::create_directories(path_ / relative); }

void TempDir::writeSparseFile(const std::string& relative, uint64_t size,
                              const std::vector<std::pair<uint64_t, std::string>>& pieces) const {
    const auto full = path_ / relative;
    std::filesystem::create_directories(full.parent_path());
    {
        std::ofstream out(full, std::ios::binary | std::ios::trunc);
        for (const auto& [offset, bytes] : pieces) {
            out.seekp(static_cast<std::streamoff>(offset));
            out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        }
        if (!out) throw std::runtime_error("cannot write " + full.string());
    }
    std::filesystem::resize_file(full, size);
}

std::vector<uint8_t> readFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string numberedFileName(int i, const char* extension) {
    std::string name = "f";
    name += std::to_string(i);
    name += extension;
    return name;
}

}  // namespace lumenpull::test
