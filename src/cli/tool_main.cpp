#include "cli/tool_main.h"

#include "cli/argument_scan.h"

namespace lumenpull {

int runTool(std::span<const char* const> arguments, const ConvertFileFn& convert, std::ostream& out) {
    const ArgumentScan scan = scanArguments(arguments);
    switch (scan.outcome) {
        case ArgumentScan::Outcome::Usage:
            out << usageText() << std::endl;
            return 0;
        case ArgumentScan::Outcome::Error:
            out << scan.message << std::endl;
            return 1;
        case ArgumentScan::Outcome::Run:
            break;
    }
    bool anyConverted = false;
    for (const std::string& input : scan.options.inputs) {
        if (processInput(input, scan.options, convert, out)) anyConverted = true;
    }
    if (!anyConverted) out << "No input files found" << std::endl;
    return 0;
}

}  // namespace lumenpull
