#pragma once

#include <string>

namespace lumenpull {

// What sort of fault ended a file's report, so that a script can tell a
// file that is no resource file at all from one cut short, one whose
// structure is damaged, one that uses something the tool does not support,
// a fault of the file system (reading the input, writing the images), and
// a file refused unopened because it lies outside --root.
enum class FailureKind { NotAResourceFile, Truncated, Damaged, Unsupported, Io, OutsideRoot };

// "not-a-resource-file", "truncated", "damaged", "unsupported", "io" or
// "outside-root".
const char* failureKindName(FailureKind kind);

// The kind of a conversion's error text, as the report carries it (with the
// "error opening reading stream: " or "error reading meta data: " prefix of
// its phase, or without). A text no rule knows is a damaged file.
FailureKind failureKindOf(const std::string& text);

}  // namespace lumenpull
