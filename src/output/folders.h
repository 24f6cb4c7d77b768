#pragma once

#include <string>

namespace lumenpull {

// Makes the folder `path` and every folder above it that is missing; true
// when `path` is a folder at the end (made now or before).
bool makeFolders(const std::string& path);

}  // namespace lumenpull
