// The whole per-file conversion on any file: the input is written into a
// scratch folder and converted there as convertFile does for every file the
// tool finds, its report line swallowed, its images removed afterwards. The
// last bit of the input's size chooses -u. Besides crashes, hangs and large
// allocations it checks that exactly one line is printed and that the images
// stay within what the input can fill (see kOutputBound).

#include <filesystem>
#include <sstream>

#include "cli/plain_report.h"
#include "fuzz_support.h"

namespace lumenpull::fuzz {
namespace {

// Images may hold no more than this many bytes per input byte: zlib inflates
// at most 1032 times, and decoding 4 stored bits into 24 output bits adds a
// factor of 6; headers of a few files come on top.
constexpr uint64_t kOutputBound = 1032 * 6;
constexpr uint64_t kOutputSlack = uint64_t{1} << 20;

void run(std::span<const uint8_t> input) {
    const auto& dir = scratch();
    dir.clear();
    const std::string path = dir.file("input.tex");
    writeBytes(path, input);

    std::ostringstream printed;
    try {
        ToolOptions options;
        options.uncompressed = (input.size() & 1) != 0;
        convertFile(path, path, options, printed);
    } catch (...) {
        FUZZ_CHECK(false, "convertFile lets no error out");
    }

    const std::string line = printed.str();
    FUZZ_CHECK(line.rfind(path + ": ", 0) == 0, "the line starts with the path");
    FUZZ_CHECK(!line.empty() && line.back() == '\n' && line.find('\n') == line.size() - 1, "exactly one line: " + line);
    uint64_t written = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        if (entry.path().filename() != "input.tex") written += entry.file_size();
    }
    FUZZ_CHECK(written <= input.size() * kOutputBound + kOutputSlack,
               std::to_string(written) + " bytes written for " + std::to_string(input.size()) + ": " + line);
    dir.clear();
}

}  // namespace
}  // namespace lumenpull::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    lumenpull::fuzz::run(std::span<const uint8_t>(data, size));
    return 0;
}
