#include "convert/wildcard_pattern.h"

#include <cstddef>
#include <optional>

namespace lumenpull {
namespace {

// One byte as it takes part in a comparison: separators are one character
// in the Windows style.
char comparable(char c, PathStyle style) { return style == PathStyle::Windows && c == '\\' ? '/' : c; }

bool escapes(PathStyle style) { return style == PathStyle::Posix; }

// Matches `c` against the set that starts at pattern[at] (just after "[").
// Returns where the pattern goes on after the set, or nothing when the set is
// not closed (the "[" is then an ordinary character).
std::optional<std::size_t> matchSet(std::string_view pattern, std::size_t at, char c, PathStyle style, bool& matched) {
    bool negated = false;
    if (at < pattern.size() && (pattern[at] == '!' || pattern[at] == '^')) {
        negated = true;
        ++at;
    }
    const char wanted = comparable(c, style);
    bool inSet = false;
    bool first = true;
    while (at < pattern.size() && (first || pattern[at] != ']')) {
        first = false;
        char low = pattern[at];
        if (escapes(style) && low == '\\' && at + 1 < pattern.size()) low = pattern[++at];
        ++at;
        char high = low;
        if (at + 1 < pattern.size() && pattern[at] == '-' && pattern[at + 1] != ']') {
            high = pattern[at + 1];
            at += 2;
            if (escapes(style) && high == '\\' && at < pattern.size()) high = pattern[at++];
        }
        const auto byte = [&](char x) { return static_cast<unsigned char>(comparable(x, style)); };
        if (byte(low) <= static_cast<unsigned char>(wanted) && static_cast<unsigned char>(wanted) <= byte(high)) {
            inSet = true;
        }
    }
    if (at >= pattern.size()) return std::nullopt;
    matched = inSet != negated;
    return at + 1;
}

// Whether the pattern element at pattern[p] matches text[t]; sets `next` to
// where the pattern goes on.
bool matchOne(std::string_view pattern, std::size_t p, char c, PathStyle style, std::size_t& next) {
    const char element = pattern[p];
    if (element == '?') {
        next = p + 1;
        return true;
    }
    if (element == '[') {
        bool matched = false;
        if (const auto after = matchSet(pattern, p + 1, c, style, matched)) {
            next = *after;
            return matched;
        }
    }
    if (escapes(style) && element == '\\' && p + 1 < pattern.size()) {
        next = p + 2;
        return pattern[p + 1] == c;
    }
    next = p + 1;
    return comparable(element, style) == comparable(c, style);
}

}  // namespace

// Greedy, going back only to the last `*`: a later star can take over any
// text an earlier one would have to give up, so the time is at most the
// product of the two lengths, whatever the pattern.
bool wildcardMatch(std::string_view pattern, std::string_view text, PathStyle style) {
    std::size_t p = 0;
    std::size_t t = 0;
    std::optional<std::size_t> starAt;  // the pattern after the last star
    std::size_t starText = 0;           // the text that star has taken up to
    while (t < text.size()) {
        std::size_t next = 0;
        if (p < pattern.size() && pattern[p] == '*') {
            starAt = ++p;
            starText = t;
        } else if (p < pattern.size() && matchOne(pattern, p, text[t], style, next)) {
            p = next;
            ++t;
        } else if (starAt) {
            p = *starAt;
            t = ++starText;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

}  // namespace lumenpull
