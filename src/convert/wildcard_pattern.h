#pragma once

#include <string_view>

#include "convert/path_style.h"

namespace lumenpull {

// Whether `text` matches the shell-style `pattern`: `*` is any run of
// characters (separators too), `?` any one byte, `[abc]`, `[a-z]` one byte of
// a set and `[!…]` or `[^…]` one byte outside it (a `]` right after the
// opening bracket, or after the `!`, belongs to the set). Everything else
// matches itself, case for case. With the POSIX style `\` takes the next
// character literally; with the Windows style it is a separator, and `\` and
// `/` match each other, in the pattern and inside sets alike. An unclosed `[`
// matches itself.
bool wildcardMatch(std::string_view pattern, std::string_view text, PathStyle style = kNativePathStyle);

}  // namespace lumenpull
