#pragma once

namespace lumenpull {

// Whether standard error, and standard output, are an interactive terminal
// (a console on Windows; the NUL device is none).
bool standardErrorIsTerminal();
bool standardOutputIsTerminal();

}  // namespace lumenpull
