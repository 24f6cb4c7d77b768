#include "cli/argument_scan.h"

#include <cstring>

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

}  // namespace

ArgumentScan scanArguments(std::span<const char* const> arguments) {
    ArgumentScan scan;
    if (arguments.empty()) {
        scan.outcome = ArgumentScan::Outcome::Usage;
        return scan;
    }
    ToolOptions& options = scan.options;
    bool formatsExpected = false;
    for (const char* raw : arguments) {
        const std::string argument = raw != nullptr ? raw : "";
        if (!argument.empty() && argument[0] == '-') {
            if (formatsExpected) return failure("Expected formats but found key " + argument);
            // Only the second character decides: -fast is -f, -rx is -r.
            const char key = argument.size() > 1 ? argument[1] : '\0';
            if (key == 'f') {
                formatsExpected = true;
            } else if (key == 'r') {
                options.recursive = true;
            } else if (key == 'u') {
                options.uncompressed = true;
            } else if (key == '-' && argument == "--nobig") {
                options.noBig = true;
            } else {
                return failure("Unexpected key '" + argument + "'");
            }
        } else if (formatsExpected) {
            replaceFormats(options.formats, argument);
            formatsExpected = false;
        } else {
            options.inputs.push_back(argument);
        }
    }
    // A trailing -f is dropped and the set keeps its contents.
    if (options.inputs.empty()) return failure("Invalid arguments: no inputs");
    if (options.formats.empty()) return failure("No formats given");
    return scan;
}

std::string usageText() {
    return "Varnel Engine 2+ texture converter, by the lumenpull authors\n"
           "\n"
           "Usage: lumenpull.exe [--nobig] [-u] [-r] [-f formats] inputs\n"
           "\n"
           "-u\tforce to not compress output images, set this if output image corrupted\n"
           "-r\tscan input directories recursively\n"
           "-f\tlist of formats to search textures in (e.g. default is \".tex .rsc\")\n"
           "--nobig\tremove suffix '--Big' from output images\n"
           "inputs\tpaths to files or directories";
}

}  // namespace lumenpull
