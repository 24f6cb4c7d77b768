#pragma once

#include <ostream>
#include <span>

#include "cli/input_discovery.h"

namespace lumenpull {

// The whole program after the C runtime: scans the arguments (program name
// excluded), walks the inputs, converts or lists every file found, reports
// each in the form the keys ask for (the plain line, a listing, JSON Lines,
// the --strict summary) and returns the exit code. Every line goes to `out`,
// in discovery order whatever the number of jobs (-j).
int runTool(std::span<const char* const> arguments, std::ostream& out);
// The same; the progress display, when the keys and standard error ask for
// one, goes to `progressOut` (standard error), never to `out`. Without it
// there is none.
int runTool(std::span<const char* const> arguments, std::ostream& out, std::ostream* progressOut);

// The same walk with every accepted file handed to `convert`, one after the
// other, which reports it itself; the reporting keys and -j have no effect.
int runTool(std::span<const char* const> arguments, const ConvertFileFn& convert, std::ostream& out);

}  // namespace lumenpull
