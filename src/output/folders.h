#pragma once

#include <string>

namespace lumenpull {

// Whether `path` is a folder, or a link to one.
bool isFolder(const std::string& path);

// Makes the folder `path` and every folder above it that is missing; true
// when `path` is a folder at the end (made now or before).
bool makeFolders(const std::string& path);

// `path` made absolute against the current folder (on Windows also a
// drive's own current folder, for "Z:name"), its text otherwise kept as it
// is; symbolic links are not resolved. Empty when that cannot be done (no
// current folder, a name outside the code page).
std::string absolutePath(const std::string& path);

}  // namespace lumenpull
