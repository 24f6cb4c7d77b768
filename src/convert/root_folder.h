#pragma once

#include <optional>
#include <string>

#include "convert/path_style.h"

namespace lumenpull {

// --root: with an output folder, every file's images are placed by the
// file's path below this folder rather than below the parent of the
// command-line input it came from. Files handed to separate runs one by one
// then land where a single run over the whole folder puts them.
struct RootFolder {
    std::string given;     // as written on the command line; a refusal names it so
    std::string absolute;  // made absolute once, when the arguments are read
};

// The folder `given` as a root, or nothing when it is not an existing folder
// (or cannot be made absolute).
std::optional<RootFolder> rootFolderAt(const std::string& given);

// The names of `absolutePath` below `absoluteRoot`, joined with the style's
// separator: empty when the path is the root itself, nothing when it lies
// outside. Both are compared name by name after taking out empty and "."
// names and letting ".." drop the name before it, on the text alone:
// symbolic links are not resolved. Windows roots and names compare without
// regard to ASCII case, as its file systems do. No name of the result is
// empty, "." or "..".
std::optional<std::string> namesBelow(const std::string& absolutePath, const std::string& absoluteRoot,
                                      PathStyle style = kNativePathStyle);

// The names of `path` (absolute or relative to the current folder) below the
// root, as namesBelow gives them.
std::optional<std::string> pathBelowRoot(const std::string& path, const RootFolder& root);

}  // namespace lumenpull
