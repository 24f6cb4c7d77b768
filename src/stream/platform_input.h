#pragma once

// The one place that talks to the file system for opening input files. A
// Windows build replaces the implementation and leaves every caller unchanged.

#include <cstdint>
#include <string>

namespace lumenpull {

// Opens `path` for reading without waiting on it (a FIFO without a writer
// would block an ordinary open forever) and checks what was opened: returns a
// file descriptor of a regular file, in blocking mode, owned by the caller.
// Symbolic links to regular files are followed. Throws "Error opening file
// <path>: <reason>", where the reason is the system's, "Is a directory" or
// "Not a regular file" (a FIFO, socket or device). `size` gets the file's
// size as the check found it.
int openRegularFile(const std::string& path, uint64_t& size);

// Closes a descriptor that openRegularFile returned and nobody adopted.
void closeDescriptor(int descriptor);

}  // namespace lumenpull
