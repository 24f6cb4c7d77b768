#include "cli/argument_scan.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string_view>
#include <thread>

namespace lumenpull {
namespace {

// The program as it is built on this platform, for the usage line; Windows
// users also ask for help with "/?".
#ifdef _WIN32
constexpr const char* kProgramName = "lumenpull.exe";
constexpr bool kSlashQuestionIsHelp = true;
#else
constexpr const char* kProgramName = "lumenpull";
constexpr bool kSlashQuestionIsHelp = false;
#endif

ArgumentScan failure(std::string message) {
    ArgumentScan scan;
    scan.outcome = ArgumentScan::Outcome::Error;
    scan.message = std::move(message);
    return scan;
}

ArgumentScan outcome(ArgumentScan::Outcome what) {
    ArgumentScan scan;
    scan.outcome = what;
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
enum class Expected { Nothing, Formats, Jobs, Folder, Types, Root, Import, Pattern, Kinds, MinSize };

const char* nameOf(Expected expected) {
    switch (expected) {
        case Expected::Formats: return "formats";
        case Expected::Jobs: return "jobs";
        case Expected::Folder: return "folder";
        case Expected::Types: return "types";
        case Expected::Root: return "root folder";
        case Expected::Import: return "import folder";
        case Expected::Pattern: return "name pattern";
        case Expected::Kinds: return "kinds";
        case Expected::MinSize: return "size";
        case Expected::Nothing: break;
    }
    return "";
}

// The single-letter keys that take no value. An argument made only of their
// letters sets each of them ("-rl" is "-r -l"); every other argument is
// decided by its second character alone, as before, so "-recursive" stays
// "-r". A key that takes a value never combines: "-rf" is "-r".
constexpr std::string_view kValuelessKeys = "rulh";

// The keys an argument starting with a valueless key sets: all its letters
// when it is made only of such keys, else its second character alone.
std::string_view valuelessKeysOf(std::string_view argument) {
    const std::string_view letters = argument.substr(1);
    if (letters.find_first_not_of(kValuelessKeys) == std::string_view::npos) return letters;
    return letters.substr(0, 1);
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
    if (arguments.empty()) return outcome(ArgumentScan::Outcome::Usage);
    ToolOptions& options = scan.options;
    Expected expected = Expected::Nothing;
    bool keysEnded = false;           // after "--" every argument is an input
    std::optional<std::string> root;  // --root as given, checked once the keys are all read
    for (const char* raw : arguments) {
        const std::string argument = raw != nullptr ? raw : "";
        if (!keysEnded && !argument.empty() && argument[0] == '-') {
            if (expected != Expected::Nothing) {
                return failure(std::string("Expected ") + nameOf(expected) + " but found key " + argument);
            }
            // The second character decides (-fast is -f, -rx is -r, -help is
            // -h), except for combined valueless keys (-rl). Keys that start
            // with "--" are matched whole.
            const char key = argument.size() > 1 ? argument[1] : '\0';
            if (key == 'f') {
                expected = Expected::Formats;
            } else if (key == 'j') {
                expected = Expected::Jobs;
            } else if (key == 'o') {
                expected = Expected::Folder;
            } else if (key == 't') {
                expected = Expected::Types;
            } else if (kValuelessKeys.find(key) != std::string_view::npos) {
                for (const char letter : valuelessKeysOf(argument)) {
                    if (letter == 'r') options.recursive = true;
                    if (letter == 'u') options.uncompressed = true;
                    if (letter == 'l') options.listOnly = true;
                    if (letter == 'h') return outcome(ArgumentScan::Outcome::Usage);
                }
            } else if (argument == "--help") {
                return outcome(ArgumentScan::Outcome::Usage);
            } else if (argument == "--version") {
                return outcome(ArgumentScan::Outcome::Version);
            } else if (argument == "--nobig") {
                options.noBig = true;
            } else if (argument == "--json") {
                options.json = true;
            } else if (argument == "--strict") {
                options.strict = true;
            } else if (argument == "--root") {
                expected = Expected::Root;
            } else if (argument == "--import") {
                expected = Expected::Import;
            } else if (argument == "--name") {
                expected = Expected::Pattern;
            } else if (argument == "--only") {
                expected = Expected::Kinds;
            } else if (argument == "--min-size") {
                expected = Expected::MinSize;
            } else if (argument == "--normal-z") {
                options.normalZ = true;
            } else if (argument == "--dedup") {
                options.dedup = true;
            } else if (argument == "--progress") {
                options.progress = true;  // the last of the two wins
            } else if (argument == "--no-progress") {
                options.progress = false;
            } else if (argument == "--") {
                keysEnded = true;
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
        } else if (expected == Expected::Folder) {
            // An empty name would put the images at the root of the file system.
            if (argument.empty()) return failure("No output folder given");
            options.outputFolder = argument;  // the last -o wins
            expected = Expected::Nothing;
        } else if (expected == Expected::Types) {
            if (auto error = parseImageTypes(argument, options.types)) return failure(*error);
            expected = Expected::Nothing;
        } else if (expected == Expected::Root) {
            root = argument;  // the last --root wins
            expected = Expected::Nothing;
        } else if (expected == Expected::Import) {
            options.importFolder = argument;  // the last --import wins
            expected = Expected::Nothing;
        } else if (expected == Expected::Pattern) {
            // An empty pattern would choose nothing but a nameless texture.
            if (argument.empty()) return failure("No name pattern given");
            options.selection.namePatterns.push_back(argument);  // each --name adds a pattern
            expected = Expected::Nothing;
        } else if (expected == Expected::Kinds) {
            if (auto error = options.selection.addKinds(argument)) return failure(*error);  // each --only adds kinds
            expected = Expected::Nothing;
        } else if (expected == Expected::MinSize) {
            const std::optional<uint32_t> size = parseMinSize(argument);
            if (!size) return failure("Invalid size '" + argument + "': expected 0 to 65535 pixels");
            options.selection.minSize = *size;  // the last --min-size wins
            expected = Expected::Nothing;
        } else if (kSlashQuestionIsHelp && !keysEnded && argument == "/?") {
            return outcome(ArgumentScan::Outcome::Usage);
        } else {
            options.inputs.push_back(argument);
        }
    }
    // A trailing -f is dropped and the set keeps its contents. Any other
    // trailing key that takes a value is not: the run would not be the one
    // asked for, or the images would land where, or as what, the user did
    // not ask for.
    if (expected != Expected::Nothing && expected != Expected::Formats) {
        return failure(std::string("Expected ") + nameOf(expected) + " but found no more arguments");
    }
    if (options.inputs.empty()) return failure("Invalid arguments: no inputs");
    if (options.formats.empty()) return failure("No formats given");
    if (options.importFolder) {
        // Inputs are never changed in place.
        if (!options.outputFolder) return failure("--import needs an output folder (-o)");
        // A misspelt folder would quietly find no edited image at all.
        if (!rootFolderAt(*options.importFolder))
            return failure("--import '" + *options.importFolder + "' is not a folder");
        // These change which images a conversion writes or what they hold;
        // an import compares with and encodes from plain conversions only.
        if (options.normalZ) return failure("--import does not take --normal-z");
        if (options.dedup) return failure("--import does not take --dedup");
        if (options.selection.active()) return failure("--import does not take --name, --only or --min-size");
    }
    if (root) {
        // Without an output folder there is nothing for it to place.
        if (!options.outputFolder) return failure("--root needs an output folder (-o)");
        options.root = rootFolderAt(*root);
        if (!options.root) return failure("--root '" + *root + "' is not a folder");
    }
    return scan;
}

std::string usageText() {
    const char* helpKeys =
        kSlashQuestionIsHelp ? "print this text (also --help and /?)" : "print this text (also --help)";
    return std::string(
               "Varnel Engine 2+ texture converter, by the lumenpull authors\n"
               "\n"
               "Usage: ") +
           kProgramName +
           " [--nobig] [-u] [-r] [-f formats] [-j jobs] [-o folder] [--root folder] [-t types] [-l] [--json] "
           "[--strict] [--import folder] [--name pattern] [--only kinds] [--min-size pixels] [--normal-z] [--dedup] "
           "[--progress] [--no-progress] [-h] [--version] [--] inputs\n"
           "\n"
           "-u\tforce to not compress output images, set this if output image corrupted\n"
           "-r\tscan input directories recursively\n"
           "-f\tlist of formats to search textures in (e.g. default is \".tex .rsc\")\n"
           "--nobig\tremove suffix '--Big' from output images\n"
           "-j\tnumber of files to convert at once (default 1; 0 is one per core)\n"
           "-o\twrite images below this folder, mirroring the input tree, instead of beside the inputs\n"
           "--root\twith -o, mirror each file's path below this folder instead of below its input's parent\n"
           "-t\tlist of output types (e.g. default is \"tga hdr\"; \"png\" writes PNG instead of TGA)\n"
           "\t\"dds\" keeps blocks and mip levels as stored, \"exr\" writes OpenEXR instead of Radiance\n"
           "-l\tlist the textures of every file and the images they give, write nothing\n"
           "--json\treport every file as one JSON object per line\n"
           "--strict\tend with a summary line; exit code 2 when a file failed or none was found\n"
           "--import\tput the edited images below this folder back into the files, written below -o\n"
           "--name\twrite only textures whose image name matches this wildcard pattern (may be given several times)\n"
           "--only\twrite only textures of these kinds: pixel formats as -l names them, \"cube\", \"frames\", "
           "\"single\"\n"
           "--min-size\twrite only textures whose larger side has at least this many pixels\n"
           "--normal-z\tgive two-channel textures (normal maps) the reconstructed Z as blue instead of full blue\n"
           "--dedup\tmake an image equal to one written before in the run a hard link to it (a copy where links fail)\n"
           "--progress\tshow progress on standard error even when it is no terminal (--no-progress: never)\n"
           "-h\t" +
           helpKeys +
           "\n"
           "--version\tprint the version\n"
           "--\tend of keys: every later argument is an input\n"
           "inputs\tpaths to files or directories";
}

std::string versionText() { return std::string("lumenpull ") + LUMENPULL_VERSION; }

}  // namespace lumenpull
