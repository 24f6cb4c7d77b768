#include "convert/failure_kind.h"

#include <array>
#include <span>
#include <string>
#include <string_view>

#include "stream/tag.h"

namespace lumenpull {
namespace {

bool startsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

// The texts are those the readers and writers throw; they are matched here,
// in one place, so that the reporters stay free of them.
constexpr std::array<std::string_view, 4> kIoTexts{"Error opening file ", "Error creating output ",
                                                   "Error writing output ", "Output file would overwrite its input"};
constexpr std::array<std::string_view, 2> kTruncatedTexts{"Error reading", "Seek offset out of range"};
constexpr std::array<std::string_view, 4> kUnsupportedTexts{"Invalid texture format ", "Invalid signed stream version ",
                                                            "Only editor sign key is available",
                                                            "Only one dimension arrays supported"};

bool startsWithOneOf(std::string_view text, std::span<const std::string_view> prefixes) {
    for (const std::string_view prefix : prefixes) {
        if (startsWith(text, prefix)) return true;
    }
    return false;
}

}  // namespace

const char* failureKindName(FailureKind kind) {
    switch (kind) {
        case FailureKind::NotAResourceFile: return "not-a-resource-file";
        case FailureKind::Truncated: return "truncated";
        case FailureKind::Unsupported: return "unsupported";
        case FailureKind::Io: return "io";
        case FailureKind::OutsideRoot: return "outside-root";
        case FailureKind::Damaged: break;
    }
    return "damaged";
}

FailureKind failureKindOf(const std::string& text) {
    std::string_view rest = text;
    if (startsWith(rest, "not below --root ")) return FailureKind::OutsideRoot;
    for (const std::string_view phase : {"error opening reading stream: ", "error reading meta data: "}) {
        if (startsWith(rest, phase)) rest.remove_prefix(phase.size());
    }
    if (startsWithOneOf(rest, kIoTexts)) return FailureKind::Io;
    if (startsWithOneOf(rest, kTruncatedTexts)) return FailureKind::Truncated;
    if (startsWithOneOf(rest, kUnsupportedTexts)) return FailureKind::Unsupported;
    // Every resource file starts with this tag: a file that does not is some
    // other file.
    const std::string notResource = "Expected '" + std::to_string(MakeTag("QRVX")) + "' but found ";
    if (startsWith(rest, notResource)) return FailureKind::NotAResourceFile;
    return FailureKind::Damaged;
}

}  // namespace lumenpull
