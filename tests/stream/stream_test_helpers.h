#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "lumenpull/error.h"

namespace lumenpull::test {

// The text a call throws as its message, or "<nothing thrown>".
template <typename Call>
std::string thrownText(Call&& call) {
    try {
        call();
    } catch (const lumenpull::Error& caught) {
        const std::string text = caught.what();
        return text;
    }
    return "<nothing thrown>";
}

// Writes `bytes` as a file in `dir` and returns its path.
inline std::string writeTemp(const TempDir& dir, const std::string& name, const std::vector<uint8_t>& bytes) {
    dir.writeFile(name, bytes);
    return dir / name;
}

// 0, 1, 2, ... wrapping at 251, so that no two nearby positions look alike.
inline std::vector<uint8_t> countingBytes(size_t length) {
    std::vector<uint8_t> bytes(length);
    for (size_t i = 0; i < length; ++i) bytes[i] = static_cast<uint8_t>(i % 251);
    return bytes;
}

}  // namespace lumenpull::test
