#pragma once

#include <ostream>
#include <string>

#include "cli/tool_options.h"

namespace lumenpull {

class ImageOutput;

// Converts one resource file, its images going through `output`, and
// returns the outcome text that ends its report line; prints nothing.
// `input` is the command-line input discovery found it from (the path itself
// for a file input); with an output folder the images' place below it
// follows the path's place below the input's parent.
std::string convertedOutcome(const std::string& path, const std::string& input, const ToolOptions& options,
                             ImageOutput& output);

// Converts one resource file and prints its one report line on `out`.
void convertFile(const std::string& path, const std::string& input, const ToolOptions& options, std::ostream& out);

}  // namespace lumenpull
