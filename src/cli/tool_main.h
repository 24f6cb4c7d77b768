#pragma once

#include <ostream>
#include <span>

#include "cli/input_discovery.h"

namespace lumenpull {

// The whole program after the C runtime: scans the arguments (program name
// excluded), walks the inputs and returns the exit code. Every line goes to
// `out`. Discovery hands each file to `convert`; with more than one job
// (-j) the files go to the conversion itself instead, on worker threads.
int runTool(std::span<const char* const> arguments, const ConvertFileFn& convert, std::ostream& out);

}  // namespace lumenpull
