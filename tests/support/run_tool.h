#pragma once

#include <string>
#include <vector>

namespace lumenpull::test {

struct ToolRun {
    int exitCode = -1;
    std::string output;  // everything printed on standard output
    std::string errors;  // standard error, which the tool never uses
};

// Runs the real lumenpull executable with exactly these arguments (empty ones
// included) in `workingDirectory` (the current one when empty).
ToolRun runLumenpull(const std::vector<std::string>& arguments, const std::string& workingDirectory = {});

}  // namespace lumenpull::test
