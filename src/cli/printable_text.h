#pragma once

#include <string>
#include <string_view>

namespace lumenpull {

// The text with every control byte (below 0x20, and 0x7F) written as an
// escape: \n, \r and \t, any other as \x and two hex digits (\x1b). Every
// other byte, non-ASCII ones too, stays as it is. A file name then can
// neither split its report line nor send terminal escape sequences.
std::string printable(std::string_view text);

}  // namespace lumenpull
