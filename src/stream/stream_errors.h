#pragma once

#include <string>
#include "lumenpull/error.h"

namespace lumenpull {

// The messages that more than one unit throws, each written once so that
// every thrower says it word for word alike.

// A read past the end of what the file (or the payload) holds, or on a
// stream that failed before.
[[noreturn]] inline void ThrowErrorReading() { throw Error("Error reading"); }

// A seek to a position outside the stream.
[[noreturn]] inline void ThrowSeekOutOfRange() { throw Error("Seek offset out of range"); }

// A read on a stream opened for writing, or the other way round.
[[noreturn]] inline void ThrowInvalidMode() { throw Error("Invalid mode to perform this operation"); }

// A mode string that is neither "r" nor "w".
[[noreturn]] inline void ThrowInvalidStreamMode() { throw Error("Invalid stream mode, must be 'r' or 'w'"); }

// A file that cannot be opened, with the reason (the system's, or what was
// found in place of a regular file).
[[noreturn]] inline void ThrowErrorOpening(const std::string& path, const std::string& reason) {
    throw Error("Error opening file " + path + ": " + reason);
}

}  // namespace lumenpull
