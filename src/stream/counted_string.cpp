#include "stream/counted_string.h"

#include <cstring>

namespace lumenpull {

CountedString::CountedString(const char* value) {
    if (value != nullptr) assign(value, static_cast<uint32_t>(std::strlen(value)));
}

CountedString::CountedString(const std::string& value) { assign(value.data(), static_cast<uint32_t>(value.size())); }

CountedString::CountedString(const CountedString& other) {
    if (other.text) assign(other.text.get(), other.length);
}

CountedString::CountedString(CountedString&& other) noexcept : length(other.length), text(std::move(other.text)) {
    other.length = 0;
}

CountedString& CountedString::operator=(const CountedString& other) {
    if (this == &other) return *this;
    Clear();
    if (other.text) assign(other.text.get(), other.length);
    return *this;
}

CountedString& CountedString::operator=(CountedString&& other) noexcept {
    if (this == &other) return *this;
    length = other.length;
    text = std::move(other.text);
    other.length = 0;
    return *this;
}

void CountedString::Clear() {
    text.reset();
    length = 0;
}

bool CountedString::operator==(const CountedString& other) const { return std::strcmp(c_str(), other.c_str()) == 0; }

bool CountedString::operator==(const char* other) const {
    return std::strcmp(c_str(), other != nullptr ? other : "") == 0;
}

std::string CountedString::str() const { return std::string(c_str()); }

std::unique_ptr<char[]> CountedString::Duplicate() const {
    auto copy = std::make_unique<char[]>(static_cast<size_t>(length) + 1);  // zero-filled
    if (text) std::memcpy(copy.get(), text.get(), length);
    return copy;
}

void CountedString::assign(const char* bytes, uint32_t count) {
    length = count;
    text = std::make_unique<char[]>(static_cast<size_t>(count) + 1);  // zero-filled
    std::memcpy(text.get(), bytes, count);
}

}  // namespace lumenpull
