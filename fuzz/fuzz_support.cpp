#include "fuzz_support.h"

#include <unistd.h>

#include <fstream>
#include <stdexcept>

namespace lumenpull::fuzz {

ScratchDir::ScratchDir() {
    const char* base = std::getenv("LUMENPULL_FUZZ_SCRATCH");
    const std::filesystem::path parent =
        base != nullptr && *base != 0 ? std::filesystem::path(base) : std::filesystem::temp_directory_path();
    std::filesystem::create_directories(parent);
    std::string pattern = (parent / "lumenpull-fuzz-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed in " + parent.string());
    path_ = pattern;
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

void ScratchDir::clear() const {
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(path_, ignored)) {
        std::filesystem::remove_all(entry.path(), ignored);
    }
}

const ScratchDir& scratch() {
    static const ScratchDir dir;
    return dir;
}

void writeBytes(const std::string& path, std::span<const uint8_t> bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

}  // namespace lumenpull::fuzz
