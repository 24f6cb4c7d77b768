#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace lumenpull {

// The system's own text value: a 32-bit length and an owned buffer of
// length + 1 bytes that is always NUL-terminated. Files store it as a
// little-endian u32 length followed by the bytes, without terminator.
class CountedString {
public:
    CountedString() = default;
    CountedString(const char* text);         // NOLINT(google-explicit-constructor)
    CountedString(const std::string& text);  // NOLINT(google-explicit-constructor)
    CountedString(const CountedString& other);
    CountedString(CountedString&& other) noexcept;
    CountedString& operator=(const CountedString& other);
    CountedString& operator=(CountedString&& other) noexcept;
    ~CountedString() = default;

    void Clear();

    // Byte-wise comparison of the texts up to their terminators; an empty
    // value compares as the empty text.
    bool operator==(const CountedString& other) const;
    bool operator==(const char* other) const;
    bool operator!=(const char* other) const { return !(*this == other); }

    std::string str() const;
    const char* c_str() const { return text ? text.get() : ""; }
    uint32_t Length() const { return length; }
    bool empty() const { return length == 0; }

    // A fresh zero-filled, NUL-terminated copy owned by the caller.
    std::unique_ptr<char[]> Duplicate() const;

    // Filled directly by ReadString.
    uint32_t length = 0;
    std::unique_ptr<char[]> text;

private:
    void assign(const char* bytes, uint32_t count);
};

}  // namespace lumenpull
