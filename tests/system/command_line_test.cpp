#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "cli/argument_scan.h"
#include "cli/tool_main.h"
#include "support/pixel_data_writer.h"
#include "support/resource_writer.h"
#include "support/run_tool.h"
#include "support/temp_dir.h"

namespace lumenpull {
namespace {

using test::runLumenpull;

// The usage line names the program as it is built on the platform under test.
std::string usage() {
    const bool windows = test::runsWindowsBuild();
    return std::string(
               "Varnel Engine 2+ texture converter, by the lumenpull authors\n"
               "\n"
               "Usage: ") +
           (windows ? "lumenpull.exe" : "lumenpull") +
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
           "-h\tprint this text (also --help" +
           (windows ? " and /?" : "") +
           ")\n"
           "--version\tprint the version\n"
           "--\tend of keys: every later argument is an input\n"
           "inputs\tpaths to files or directories\n";
}

TEST(CommandLine, NoArgumentsPrintsUsageAndSucceeds) {
    const auto run = runLumenpull({});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.output, usage());
    EXPECT_EQ(run.errors, "");
}

// Help wins wherever it stands, unless an earlier argument is faulty or a
// value was expected in its place.
TEST(CommandLine, HelpAndVersionPrintAndSucceed) {
    std::vector<std::vector<std::string>> helps = {{"-h"}, {"--help"}, {"-help"}, {"a.tex", "-r", "-h", "-q"}};
    if (test::runsWindowsBuild()) helps.push_back({"a.tex", "/?"});
    for (const auto& arguments : helps) {
        const auto run = runLumenpull(arguments);
        EXPECT_EQ(run.exitCode, 0) << arguments[0];
        EXPECT_EQ(run.output, usage()) << arguments[0];
    }
    const auto version = runLumenpull({"--version", "a.tex"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.output, std::string("lumenpull ") + LUMENPULL_VERSION + "\n");
}

struct ArgumentErrorCase {
    std::vector<std::string> arguments;
    std::string line;
};

class ArgumentErrors : public ::testing::TestWithParam<ArgumentErrorCase> {};

// Every argument error is one line on standard output and exit code 1,
// reported before any input is looked at.
TEST_P(ArgumentErrors, PrintOneLineAndExitWithOne) {
    const auto run = runLumenpull(GetParam().arguments);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.output, GetParam().line + "\n");
    EXPECT_EQ(run.errors, "");
}

INSTANTIATE_TEST_SUITE_P(
    Table, ArgumentErrors,
    ::testing::Values(
        ArgumentErrorCase{{"-f", "-r", "x"}, "Expected formats but found key -r"},
        ArgumentErrorCase{{"-f", "--nobig", "a.tex"}, "Expected formats but found key --nobig"},
        ArgumentErrorCase{{"--NoBig", "a.tex"}, "Unexpected key '--NoBig'"},
        ArgumentErrorCase{{"a.tex", "--nobigx"}, "Unexpected key '--nobigx'"},
        ArgumentErrorCase{{"---", "a.tex"}, "Unexpected key '---'"},
        ArgumentErrorCase{{"--Help", "a.tex"}, "Unexpected key '--Help'"},
        ArgumentErrorCase{{"--versions", "a.tex"}, "Unexpected key '--versions'"},
        ArgumentErrorCase{{"-o", "-r", "a.tex"}, "Expected folder but found key -r"},
        ArgumentErrorCase{{"a.tex", "-t", "--"}, "Expected types but found key --"},
        ArgumentErrorCase{{"-f", "-h", "a.tex"}, "Expected formats but found key -h"},
        ArgumentErrorCase{{"a.tex", "-o"}, "Expected folder but found no more arguments"},
        ArgumentErrorCase{{"-t"}, "Expected types but found no more arguments"},
        ArgumentErrorCase{{"-o", "", "a.tex"}, "No output folder given"},
        ArgumentErrorCase{{"-t", "  ", "a.tex"}, "No output types given"},
        ArgumentErrorCase{{"-t", "png jpg", "a.tex"}, "Unknown output type 'jpg'"},
        ArgumentErrorCase{{"-t", "PNG", "a.tex"}, "Unknown output type 'PNG'"},
        ArgumentErrorCase{{"-t", ".tga", "-q"}, "Unknown output type '.tga'"},
        ArgumentErrorCase{{"-t", "tga png", "a.tex"}, "Two output types for one kind of texture"},
        ArgumentErrorCase{{"-t", "dds hdr dds", "a.tex"}, "Two output types for one kind of texture"},
        ArgumentErrorCase{{"-t", "hdr png hdr", "a.tex"}, "Two output types for one kind of texture"},
        ArgumentErrorCase{{"-o", "out", "-t", "png"}, "Invalid arguments: no inputs"},
        ArgumentErrorCase{{"-", "a.tex"}, "Unexpected key '-'"},
        ArgumentErrorCase{{"-x", "a.tex"}, "Unexpected key '-x'"},
        // The first faulty argument wins, even when a later one is faulty too.
        ArgumentErrorCase{{"-q", "-f", "-r"}, "Unexpected key '-q'"},
        ArgumentErrorCase{{"-f", ".tex"}, "Invalid arguments: no inputs"},
        ArgumentErrorCase{{"-r", "-u", "--nobig"}, "Invalid arguments: no inputs"},
        // Missing inputs are reported before an empty format set.
        ArgumentErrorCase{{"-f", ""}, "Invalid arguments: no inputs"},
        ArgumentErrorCase{{"-f", "", "a.tex"}, "No formats given"},
        ArgumentErrorCase{{"a.tex", "-f", "   "}, "No formats given"},
        ArgumentErrorCase{{"-j", "-r", "a.tex"}, "Expected jobs but found key -r"},
        ArgumentErrorCase{{"-j", "-1", "a.tex"}, "Expected jobs but found key -1"},
        ArgumentErrorCase{{"a.tex", "-j"}, "Expected jobs but found no more arguments"},
        ArgumentErrorCase{{"-j", "two", "a.tex"}, "Invalid number of jobs 'two': expected 0 (one per core) to 1024"},
        ArgumentErrorCase{{"-j", "", "a.tex"}, "Invalid number of jobs '': expected 0 (one per core) to 1024"},
        ArgumentErrorCase{{"-j", "1025", "a.tex"}, "Invalid number of jobs '1025': expected 0 (one per core) to 1024"},
        ArgumentErrorCase{{"-j", "4x", "a.tex"}, "Invalid number of jobs '4x': expected 0 (one per core) to 1024"},
        ArgumentErrorCase{{"--root", ".", "a.tex"}, "--root needs an output folder (-o)"},
        ArgumentErrorCase{{"--import", ".", "a.tex"}, "--import needs an output folder (-o)"},
        ArgumentErrorCase{{"-o", "out", "a.tex", "--import"}, "Expected import folder but found no more arguments"},
        ArgumentErrorCase{{"--import", "no such folder", "-o", "out", "a.tex"},
                          "--import 'no such folder' is not a folder"},
        // An import compares with plain conversions only.
        ArgumentErrorCase{{"--import", ".", "-o", "out", "--normal-z", "a.tex"}, "--import does not take --normal-z"},
        ArgumentErrorCase{{"--import", ".", "-o", "out", "--dedup", "a.tex"}, "--import does not take --dedup"},
        ArgumentErrorCase{{"--import", ".", "-o", "out", "--min-size", "4", "a.tex"},
                          "--import does not take --name, --only or --min-size"},
        ArgumentErrorCase{{"-o", "out", "a.tex", "--root"}, "Expected root folder but found no more arguments"},
        ArgumentErrorCase{{"--root", "-o", "out", "a.tex"}, "Expected root folder but found key -o"},
        ArgumentErrorCase{{"-o", "out", "--ROOT", ".", "a.tex"}, "Unexpected key '--ROOT'"},
        ArgumentErrorCase{{"-o", "out", "--root=.", "a.tex"}, "Unexpected key '--root=.'"},
        // Its folder is looked at only once every key is read and inputs are there.
        ArgumentErrorCase{{"--root", "missing", "-q", "a.tex"}, "Unexpected key '-q'"},
        ArgumentErrorCase{{"-o", "out", "--root", "missing"}, "Invalid arguments: no inputs"},
        ArgumentErrorCase{{"--root", "missing", "a.tex"}, "--root needs an output folder (-o)"},
        ArgumentErrorCase{{"-o", "out", "--root", "missing", "a.tex"}, "--root 'missing' is not a folder"},
        // The selection keys: a value each, checked as it is read.
        ArgumentErrorCase{{"--name", "-r", "a.tex"}, "Expected name pattern but found key -r"},
        ArgumentErrorCase{{"a.tex", "--name"}, "Expected name pattern but found no more arguments"},
        ArgumentErrorCase{{"--name", "", "a.tex"}, "No name pattern given"},
        ArgumentErrorCase{{"--only", " , ", "a.tex"}, "No kinds given for --only"},
        ArgumentErrorCase{{"--only", "bc1,dxt5", "a.tex"},
                          "Unknown kind 'dxt5' for --only: expected a pixel format as the listing names it (such as "
                          "BC1 or BGRA8), cube, frames or single"},
        ArgumentErrorCase{{"a.tex", "--only"}, "Expected kinds but found no more arguments"},
        ArgumentErrorCase{{"--min-size", "-5", "a.tex"}, "Expected size but found key -5"},
        ArgumentErrorCase{{"--min-size", "65536", "a.tex"}, "Invalid size '65536': expected 0 to 65535 pixels"},
        ArgumentErrorCase{{"--min-size", "1e3", "a.tex"}, "Invalid size '1e3': expected 0 to 65535 pixels"},
        ArgumentErrorCase{{"--Normal-Z", "a.tex"}, "Unexpected key '--Normal-Z'"},
        ArgumentErrorCase{{"--progress=yes", "a.tex"}, "Unexpected key '--progress=yes'"},
        // An argument error comes before any input is looked at, -j or not.
        ArgumentErrorCase{{"-j", "4", "a.tex", "-q"}, "Unexpected key '-q'"}),
    [](const auto& instance) { return std::to_string(instance.index); });

TEST(CommandLine, NothingFoundStillSucceeds) {
    test::TempDir dir;
    dir.writeFile("name.TEX");
    dir.writeFile("notes.txt");
    const auto run = runLumenpull({dir / "name.TEX", dir.path().string(), "no-extension"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.output, "No input files found\n");
}

// Runs the tool in-process and records what reaches the per-file entry.
struct RecordedRun {
    int exitCode;
    std::string output;
    std::vector<std::string> converted;
};

RecordedRun runRecorded(const std::vector<std::string>& arguments) {
    std::vector<const char*> raw;
    for (const auto& argument : arguments) raw.push_back(argument.c_str());
    RecordedRun run{};
    std::ostringstream out;
    run.exitCode = runTool(
        raw,
        [&](const std::string& path, const std::string&, const ToolOptions&, std::ostream&) {
            run.converted.push_back(path);
        },
        out);
    run.output = out.str();
    return run;
}

TEST(CommandLine, KeysAreDecidedByTheirSecondCharacter) {
    const ArgumentScan scan = scanArguments(std::vector<const char*>{"-rx", "-update", "-fast", ".a .b", "in"});
    ASSERT_EQ(scan.outcome, ArgumentScan::Outcome::Run);
    EXPECT_TRUE(scan.options.recursive);
    EXPECT_TRUE(scan.options.uncompressed);
    EXPECT_FALSE(scan.options.noBig);
    EXPECT_EQ(scan.options.formats, (std::set<std::string>{".a", ".b"}));
    EXPECT_EQ(scan.options.inputs, (std::vector<std::string>{"in"}));
}

// An argument made only of keys that take no value sets each of them; any
// other argument is still decided by its second character alone.
TEST(CommandLine, ValuelessKeysCombine) {
    struct Case {
        std::vector<const char*> arguments;
        bool recursive;
        bool uncompressed;
        bool listOnly;
        std::vector<std::string> inputs;
    };
    const std::vector<Case> cases = {
        {{"-rl", "in"}, true, false, true, {"in"}},
        {{"-lr", "in"}, true, false, true, {"in"}},
        {{"-ru", "in"}, true, true, false, {"in"}},
        {{"in", "-lur"}, true, true, true, {"in"}},
        {{"-rr", "in"}, true, false, false, {"in"}},
        // Not made only of valueless keys: the second character alone.
        {{"-recursive", "in"}, true, false, false, {"in"}},
        {{"-rx", "in"}, true, false, false, {"in"}},
        {{"-lux", "in"}, false, false, true, {"in"}},
        {{"-ulist", "in"}, false, true, false, {"in"}},
        // A key that takes a value never combines: -rf is -r, its list an input.
        {{"-rf", ".x", "in"}, true, false, false, {".x", "in"}},
    };
    for (const Case& c : cases) {
        const ArgumentScan scan = scanArguments(c.arguments);
        ASSERT_EQ(scan.outcome, ArgumentScan::Outcome::Run) << c.arguments[0];
        EXPECT_EQ(scan.options.recursive, c.recursive) << c.arguments[0];
        EXPECT_EQ(scan.options.uncompressed, c.uncompressed) << c.arguments[0];
        EXPECT_EQ(scan.options.listOnly, c.listOnly) << c.arguments[0];
        EXPECT_EQ(scan.options.formats, (std::set<std::string>{".rsc", ".tex"})) << c.arguments[0];
        EXPECT_EQ(scan.options.inputs, c.inputs) << c.arguments[0];
    }
    // -h combines too, and help wins.
    for (const char* keys : {"-rh", "-hr", "-luh"}) {
        EXPECT_EQ(scanArguments(std::vector<const char*>{keys, "in"}).outcome, ArgumentScan::Outcome::Usage) << keys;
    }
}

// The whole tree is listed and nothing is written, whichever order the
// combined keys come in.
TEST(CommandLine, CombinedKeysListTheWholeTreeAndWriteNothing) {
    test::TempDir dir;
    test::ResourceBuilder file(11);
    file.addStandardTypes();
    file.addStaticTexture(4, 4, 0, 3, test::storeBgra(test::makeGradient(4, 4)));
    dir.writeFile("tree/sub/a.tex", file.payload());
    const std::string path = std::string("tree") + test::pathSeparator() + "sub" + test::pathSeparator() + "a.tex";
    for (const char* keys : {"-rl", "-lr"}) {
        const auto run = runLumenpull({keys, "tree"}, dir.path().string());
        EXPECT_EQ(run.exitCode, 0) << keys;
        EXPECT_EQ(run.output.substr(0, run.output.find('\n')), path + ": 1 texture(s)") << keys;
        EXPECT_FALSE(std::filesystem::exists(dir / "tree/sub/a.tga")) << keys;
    }
}

TEST(CommandLine, FormatListsAreSplitAtSpacesOnlyAndTheLastWins) {
    auto scan = scanArguments(std::vector<const char*>{"-f", "  .x\t.y  .z .z ", "in"});
    EXPECT_EQ(scan.options.formats, (std::set<std::string>{".x\t.y", ".z"}));
    scan = scanArguments(std::vector<const char*>{"-f", ".tex", "-f", ".rsc", "in"});
    EXPECT_EQ(scan.options.formats, (std::set<std::string>{".rsc"}));
    // A trailing -f is dropped and the defaults stay.
    scan = scanArguments(std::vector<const char*>{"in", "--nobig", "-f"});
    ASSERT_EQ(scan.outcome, ArgumentScan::Outcome::Run);
    EXPECT_TRUE(scan.options.noBig);
    EXPECT_EQ(scan.options.formats, (std::set<std::string>{".rsc", ".tex"}));
}

TEST(CommandLine, JobCountsAndZeroForOnePerCore) {
    auto scan = scanArguments(std::vector<const char*>{"in"});
    EXPECT_EQ(scan.options.jobs, 1u);
    scan = scanArguments(std::vector<const char*>{"-jobs", "3", "in", "-j", "0012"});
    EXPECT_EQ(scan.options.jobs, 12u);
    EXPECT_EQ(scan.options.inputs, (std::vector<std::string>{"in"}));
    scan = scanArguments(std::vector<const char*>{"-j", "0", "in"});
    ASSERT_EQ(scan.outcome, ArgumentScan::Outcome::Run);
    EXPECT_GE(scan.options.jobs, 1u);
    EXPECT_LE(scan.options.jobs, 1024u);
}

TEST(CommandLine, OutputFolderAndTypesTheLastOneWins) {
    auto scan = scanArguments(std::vector<const char*>{"-o", "first", "in", "-obj", "second", "-t", "png"});
    ASSERT_EQ(scan.outcome, ArgumentScan::Outcome::Run);
    EXPECT_EQ(scan.options.outputFolder, "second");
    EXPECT_EQ(scan.options.types.eightBit, ImageType::Png);
    EXPECT_EQ(scan.options.types.highDynamicRange, ImageType::Hdr);
    EXPECT_EQ(scan.options.inputs, (std::vector<std::string>{"in"}));
    // Each list stands alone: kinds it leaves out get their default again.
    scan = scanArguments(std::vector<const char*>{"-t", " png  hdr ", "-types", "hdr", "in"});
    ASSERT_EQ(scan.outcome, ArgumentScan::Outcome::Run);
    EXPECT_EQ(scan.options.types, ImageTypes{});
    scan = scanArguments(std::vector<const char*>{"in"});
    EXPECT_FALSE(scan.options.outputFolder.has_value());
    EXPECT_EQ(scan.options.types, ImageTypes{});
}

// One type per kind; dds serves both kinds, those no other listed type names.
TEST(CommandLine, TypesCombineOnePerKind) {
    struct Case {
        const char* list;
        ImageType eightBit;
        ImageType highDynamicRange;
    };
    const std::vector<Case> cases = {
        {"dds", ImageType::Dds, ImageType::Dds},     {"hdr dds", ImageType::Dds, ImageType::Hdr},
        {"dds png", ImageType::Png, ImageType::Dds}, {"tga", ImageType::Tga, ImageType::Hdr},
        {"png exr", ImageType::Png, ImageType::Exr}, {"exr dds", ImageType::Dds, ImageType::Exr},
        {"exr", ImageType::Tga, ImageType::Exr},
    };
    for (const Case& c : cases) {
        const auto scan = scanArguments(std::vector<const char*>{"-t", c.list, "in"});
        ASSERT_EQ(scan.outcome, ArgumentScan::Outcome::Run) << c.list;
        EXPECT_EQ(scan.options.types.eightBit, c.eightBit) << c.list;
        EXPECT_EQ(scan.options.types.highDynamicRange, c.highDynamicRange) << c.list;
    }
    ImageTypes types;
    EXPECT_EQ(parseImageTypes("hdr exr", types), "Two output types for one kind of texture");
}

TEST(CommandLine, DoubleDashEndsTheKeys) {
    const auto scan = scanArguments(std::vector<const char*>{"-r", "--", "-dash.tex", "--", "-h", "/?"});
    ASSERT_EQ(scan.outcome, ArgumentScan::Outcome::Run);
    EXPECT_TRUE(scan.options.recursive);
    EXPECT_EQ(scan.options.inputs, (std::vector<std::string>{"-dash.tex", "--", "-h", "/?"}));
}

TEST(CommandLine, InputsKeepTheirOrderAndAnEmptyArgumentIsAnInput) {
    const auto scan = scanArguments(std::vector<const char*>{"b.tex", "", "-r", "a b.rsc"});
    EXPECT_EQ(scan.options.inputs, (std::vector<std::string>{"b.tex", "", "a b.rsc"}));
}

TEST(CommandLine, MoreThan255InputsAreAllProcessed) {
    std::vector<std::string> arguments;
    for (int i = 0; i < 300; ++i) arguments.push_back("missing" + std::to_string(i) + ".tex");
    const auto run = runRecorded(arguments);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.converted, arguments);
    EXPECT_EQ(run.output, "");
}

TEST(CommandLine, CaseSensitiveAndDotlessFormatsMatchNothing) {
    auto run = runRecorded({"-f", ".TEX", "a.tex"});
    EXPECT_TRUE(run.converted.empty());
    EXPECT_EQ(run.output, "No input files found\n");
    run = runRecorded({"-f", "tex", "a.tex"});
    EXPECT_TRUE(run.converted.empty());
    EXPECT_EQ(run.exitCode, 0);
}

}  // namespace
}  // namespace lumenpull
