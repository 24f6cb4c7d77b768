#pragma once

#include <cstddef>
#include <string>

namespace lumenpull {

// How paths are spelled: "/" alone, or "\" and "/" with drive letters and
// \\server\share roots.
enum class PathStyle { Posix, Windows };

#ifdef _WIN32
inline constexpr PathStyle kNativePathStyle = PathStyle::Windows;
#else
inline constexpr PathStyle kNativePathStyle = PathStyle::Posix;
#endif

bool isSeparator(char c, PathStyle style);

// The separator this style joins names with.
char separatorOf(PathStyle style);

// The length of the root at the start of a path, which names no folder of
// its own: "/" (or several), and on Windows also "\", "C:", "C:\" and
// "\\server\share\".
std::size_t rootLength(const std::string& path, PathStyle style);

}  // namespace lumenpull
