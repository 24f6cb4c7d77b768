#pragma once

#include <span>
#include <string>

#include "convert/tool_options.h"

namespace lumenpull {

// What the command line asks for: run over the inputs, print the usage text
// or the version (exit code 0), or stop with an argument error (one line,
// exit code 1).
struct ArgumentScan {
    enum class Outcome { Run, Usage, Version, Error };
    Outcome outcome = Outcome::Run;
    std::string message;  // the error line, without newline
    ToolOptions options;
};

// `arguments` excludes the program name.
ArgumentScan scanArguments(std::span<const char* const> arguments);

std::string usageText();

// "lumenpull " and the version the build was made as.
std::string versionText();

}  // namespace lumenpull
