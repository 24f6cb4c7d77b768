#pragma once

#include <string>
#include <vector>

namespace lumenpull::test {

struct ToolRun {
    int exitCode = -1;
    std::string output;  // everything printed on standard output
    std::string errors;  // standard error, which the tool never uses
    // What the process used, as the system counts it (wait4): its peak
    // resident memory and its minor page faults. Meaningful only for a
    // native run (not under Wine or an emulator).
    long peakKiB = 0;
    long minorFaults = 0;
};

// Runs the real lumenpull executable with exactly these arguments (empty ones
// included) in `workingDirectory` (the current one when empty).
// When the environment variable LUMENPULL_WINDOWS_EXE names a Windows build,
// that .exe runs under Wine instead and its CRLF line ends are made LF; a
// Wine run that printed nothing (a start that failed) is tried again.
// A run that passes LUMENPULL_TOOL_TIMEOUT seconds (default 120) is killed
// and reported by throwing std::runtime_error.
// A cross-built executable (the 32-bit Linux build) runs under the emulator
// that ctest runs the tests with.
ToolRun runLumenpull(const std::vector<std::string>& arguments, const std::string& workingDirectory = {});

bool runsWindowsBuild();

// The separator the tool under test puts between a walked directory and its
// entries: "/" natively, "\\" for the Windows build.
char pathSeparator();

}  // namespace lumenpull::test
