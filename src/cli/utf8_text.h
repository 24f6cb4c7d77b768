#pragma once

#include <string>
#include <string_view>

namespace lumenpull {

// Whether the bytes are well-formed UTF-8 (no overlong forms, no surrogates,
// nothing above U+10FFFF).
bool isValidUtf8(std::string_view bytes);

// The bytes as valid UTF-8: every well-formed character is kept, every byte
// that does not belong to one becomes U+FFFD.
std::string replacingInvalidUtf8(std::string_view bytes);

// The bytes as lower-case hex digits, two per byte.
std::string hexBytes(std::string_view bytes);

}  // namespace lumenpull
