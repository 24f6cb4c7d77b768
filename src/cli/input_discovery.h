#pragma once

#include <functional>
#include <ostream>
#include <string>

#include "convert/tool_options.h"

namespace lumenpull {

// The per-file entry that discovery hands each accepted file to, at once,
// with the command-line input it was found from and the stream its report
// line goes to.
using ConvertFileFn = std::function<void(const std::string& path, const std::string& input,
                                         const ToolOptions& options, std::ostream& out)>;

// Turns one command-line input into conversions: a directory is walked (all
// the way down with -r), anything else goes through the file rule. With
// --root, a directory outside the root is not walked but handed to
// `convert` itself, which refuses it. Every
// line, the walk's own and those of `convert`, goes to `out`. Returns true
// when at least one file reached `convert`.
bool processInput(const std::string& input, const ToolOptions& options, const ConvertFileFn& convert,
                  std::ostream& out);

// True when "<path without extension>--Big<extension>" exists as a file or
// directory; always false for a path that already contains "--Big".
bool bigTwinExists(const std::string& path, const std::string& extension);

}  // namespace lumenpull
