#include "cli/argument_scan.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <thread>

namespace lumenpull {
namespace {

ArgumentScan failure(std::string message) {
    ArgumentScan scan;
    scan.outcome = ArgumentScan::Outcome::Error;
    scan.message = std::move(message);
    return scan;
}

// Splits at spaces only; runs of spaces and leading or trailing ones give no
// empty tokens. Tabs and every other byte stay inside their token.
void replaceFormats(std::set<std::string>& formats, const std::string& list) {
    formats.clear();
    size_t i = 0;
    while (i < list.size()) {
        while (i < list.size() && list[i] == ' ') ++i;
        const size_t start = i;
        while (i < list.size() && list[i] != ' ') ++i;
        if (i > start) formats.insert(list.substr(start, i - start));
    }
}

// A key that takes the next argument as its value, and what that value is
// called in the error for a key found in its place.
enum class Expected { Nothing, Formats, Jobs };

const char* nameOf(Expected expected) {
    switch (expected) {
        case Expected::Formats: return "formats";
        case Expected::Jobs: return "jobs";
        case Expected::Nothing: break;
    }
    return "";
}

// More threads than this would only cost memory; a machine that reports more
// cores than this gets this many with -j 0.
constexpr unsigned kMostJobs = 1024;

// Decimal digits only, 0 to kMostJobs; 0 means one job per core.
std::optional<unsigned> parseJobs(const std::string& text) {
    if (text.empty() || text.size() > 5) return std::nullopt;
    unsigned value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value > kMostJobs) return std::nullopt;
    if (value == 0) value = std::clamp(std::thread::hardware_concurrency(), 1u, kMostJobs);
    return value;
}

}  // namespace

ArgumentScan scanArguments(std::span<const char* const> arguments) {
    ArgumentScan scan;
    if (arguments.empty()) {
        scan.outcome = ArgumentScan::Outcome::Usage;
        return scan;
    }
    ToolOptions& options = scan.options;
    Expected expected = Expected::Nothing;
    for (const char* raw : arguments) {
        const std::string argument = raw != nullptr ? raw : "";
        if (!argument.empty() && argument[0] == '-') {
            if (expected != Expected::Nothing) {
                return failure(std::string("Expected ") + nameOf(expected) + " but found key " + argument);
            }
            // Only the second character decides: -fast is -f, -rx is -r.
            const char key = argument.size() > 1 ? argument[1] : '\0';
            if (key == 'f') {
                expected = Expected::Formats;
            } else if (key == 'j') {
                expected = Expected::Jobs;
            } else if (key == 'r') {
                options.recursive = true;
            } else if (key == 'u') {
                options.uncompressed = true;
            } else if (key == '-' && argument == "--nobig") {
                options.noBig = true;
            } else {
                return failure("Unexpected key '" + argument + "'");
            }
        } else if (expected == Expected::Formats) {
            replaceFormats(options.formats, argument);
            expected = Expected::Nothing;
        } else if (expected == Expected::Jobs) {
            const std::optional<unsigned> jobs = parseJobs(argument);
            if (!jobs) {
                return failure("Invalid number of jobs '" + argument + "': expected 0 (one per core) to " +
                               std::to_string(kMostJobs));
            }
            options.jobs = *jobs;  // the last -j wins
            expected = Expected::Nothing;
        } else {
            options.inputs.push_back(argument);
        }
    }
    // A trailing -j is not dropped: the run would not be the one asked for.
    if (expected == Expected::Jobs) return failure("Expected jobs but found no more arguments");
    // A trailing -f is dropped and the set keeps its contents.
    if (options.inputs.empty()) return failure("Invalid arguments: no inputs");
    if (options.formats.empty()) return failure("No formats given");
    return scan;
}

std::string usageText() {
    return "Varnel Engine 2+ texture converter, by the lumenpull authors\n"
           "\n"
           "Usage: lumenpull.exe [--nobig] [-u] [-r] [-f formats] [-j jobs] inputs\n"
           "\n"
           "-u\tforce to not compress output images, set this if output image corrupted\n"
           "-r\tscan input directories recursively\n"
           "-f\tlist of formats to search textures in (e.g. default is \".tex .rsc\")\n"
           "--nobig\tremove suffix '--Big' from output images\n"
           "-j\tnumber of files to convert at once (default 1; 0 is one per core)\n"
           "inputs\tpaths to files or directories";
}

}  // namespace lumenpull
