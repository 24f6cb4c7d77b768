#include "cli/terminal.h"

#ifdef _WIN32

#include <windows.h>

namespace lumenpull {
namespace {

// _isatty also says yes for NUL and other character devices; only a
// console has a console mode.
bool isConsole(DWORD handleName) {
    DWORD mode = 0;
    const HANDLE handle = ::GetStdHandle(handleName);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode) != 0;
}

}  // namespace

bool standardErrorIsTerminal() { return isConsole(STD_ERROR_HANDLE); }
bool standardOutputIsTerminal() { return isConsole(STD_OUTPUT_HANDLE); }

}  // namespace lumenpull

#else  // POSIX

#include <unistd.h>

namespace lumenpull {

bool standardErrorIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }
bool standardOutputIsTerminal() { return ::isatty(STDOUT_FILENO) == 1; }

}  // namespace lumenpull

#endif
