// convert() against the tool run on the same files with the same keys:
// the same report lines, the same files written, the same listing names.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>

#include "api_samples.h"
#include "lumenpull/lumenpull.h"
#include "support/run_tool.h"

namespace lumenpull {
namespace {

namespace fs = std::filesystem;

std::map<std::string, std::vector<uint8_t>> filesBelow(const fs::path& folder) {
    std::map<std::string, std::vector<uint8_t>> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) {
            files[fs::relative(entry.path(), folder).generic_string()] = test::readFileBytes(entry.path().string());
        }
    }
    return files;
}

// "path: outcome" per file, as the tool's first report lines.
std::string reportLines(const std::vector<FileResult>& results) {
    std::string text;
    for (const FileResult& result : results) text += result.path + ": " + result.outcome + "\n";
    return text;
}

// The tool's output without the listing's texture lines.
std::string fileLines(const std::string& output) {
    std::string text;
    std::istringstream in(output);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line[0] != '\t') text += line + "\n";
    }
    return text;
}

ConvertOptions options(std::pair<FileType, FileType> types, bool uncompressed, unsigned jobs) {
    ConvertOptions chosen;
    chosen.eightBit = types.first;
    chosen.highDynamicRange = types.second;
    chosen.uncompressed = uncompressed;
    chosen.jobs = jobs;
    return chosen;
}

// The same from the -t list the tool is given.
ConvertOptions options(const std::string& types, bool uncompressed, unsigned jobs) {
    ConvertOptions chosen;
    setOutputTypes(chosen, types);
    chosen.uncompressed = uncompressed;
    chosen.jobs = jobs;
    return chosen;
}

TEST(ApiConvert, WritesWhatTheToolWritesAndReportsAsItDoes) {
    const test::TempDir dir;
    const std::vector<std::string> names = test::writeApiSamples(dir);
    std::vector<std::string> paths;
    for (const std::string& name : names) paths.push_back(dir / name);

    struct Case {
        std::vector<std::string> keys;
        ConvertOptions options;
    };
    const std::vector<Case> cases = {
        {{}, options({FileType::Tga, FileType::Hdr}, false, 1)},
        {{"-j", "2", "-t", "png exr"}, options("png exr", false, 2)},
        {{"-u", "-t", "dds"}, options("dds", true, 1)},
        {{"-t", "dds exr"}, options("dds exr", false, 1)},
    };
    int n = 0;
    for (const Case& c : cases) {
        const std::string toolFolder = dir / ("tool" + std::to_string(n));
        const std::string apiFolder = dir / ("api" + std::to_string(n++));
        std::vector<std::string> arguments = c.keys;
        arguments.insert(arguments.end(), {"-o", toolFolder});
        arguments.insert(arguments.end(), paths.begin(), paths.end());
        const test::ToolRun run = test::runLumenpull(arguments);

        ConvertOptions chosen = c.options;
        chosen.outputFolder = apiFolder;
        const std::vector<FileResult> results = convert(paths, chosen);
        ASSERT_EQ(results.size(), paths.size());
        EXPECT_EQ(reportLines(results), run.output);
        EXPECT_EQ(filesBelow(apiFolder), filesBelow(toolFolder));

        ConvertOptions listing = chosen;
        listing.listOnly = true;
        arguments.insert(arguments.begin(), "-l");
        const test::ToolRun listed = test::runLumenpull(arguments);
        const std::vector<FileResult> rows = convert(paths, listing);
        EXPECT_EQ(reportLines(rows), fileLines(listed.output));
        for (const FileResult& result : rows) {
            for (const ListedTexture& texture : result.listed) {
                for (const std::string& file : texture.files) {
                    EXPECT_EQ(file.rfind(apiFolder, 0), 0u) << file;
                }
            }
        }
    }
}

TEST(ApiConvert, TypesThatServeNoSuchPictureAreRefused) {
    EXPECT_THROW(convert({}, options({FileType::Hdr, FileType::Hdr}, false, 1)), Error);
    EXPECT_THROW(convert({}, options({FileType::Tga, FileType::Png}, false, 1)), Error);
    EXPECT_TRUE(convert({}, {}).empty());
}

TEST(ApiConvert, OutputTypeListsAreReadAsTheToolReadsThem) {
    ConvertOptions chosen;
    setOutputTypes(chosen, " exr  dds ");
    EXPECT_EQ(chosen.eightBit, FileType::Dds);
    EXPECT_EQ(chosen.highDynamicRange, FileType::Exr);
    for (const char* bad : {"gif", "tga png", "", "dds dds"}) {
        ConvertOptions kept = chosen;
        EXPECT_THROW(setOutputTypes(kept, bad), Error) << bad;
        EXPECT_EQ(kept.eightBit, FileType::Dds) << bad;
        EXPECT_EQ(kept.highDynamicRange, FileType::Exr) << bad;
    }
}

TEST(ApiConvert, AFailedFileSaysWhatSortOfFaultEndedIt) {
    const test::TempDir dir;
    dir.writeFile("text.tex", "not a resource file at all");
    const std::vector<FileResult> results = convert({dir / "missing.tex", dir / "text.tex"});
    ASSERT_EQ(results.size(), 2u);
    EXPECT_TRUE(results[0].failed);
    EXPECT_EQ(results[0].failureKind, "io");
    EXPECT_TRUE(results[1].failed);
    EXPECT_EQ(results[1].failureKind, "not-a-resource-file");
}

}  // namespace
}  // namespace lumenpull
