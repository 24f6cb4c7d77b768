// The progress display away from a terminal: only with --progress, as lines
// on standard error, and standard output the same byte for byte.

#include <gtest/gtest.h>

#include <sstream>

#include "support/pixel_data_writer.h"
#include "support/resource_writer.h"
#include "support/run_tool.h"
#include "support/temp_dir.h"

namespace lumenpull {
namespace {

using test::runLumenpull;

TEST(Progress, OnlyWhenAskedForAndOnlyOnStandardError) {
    test::TempDir dir;
    test::ResourceBuilder file = test::standardFile();
    file.addStaticTexture(8, 8, 0, 3, test::storeBgra(test::makeGradient(8, 8)));
    for (int i = 0; i < 3; ++i) dir.writeFile("game/" + test::numberedFileName(i, ".tex"), file.payload());
    dir.writeFile("game/broken.tex", "not a resource");

    for (const std::vector<std::string>& keys :
         {std::vector<std::string>{"-r"}, {"-r", "-j", "2"}, {"-r", "--json", "--strict"}, {"-r", "-l"}}) {
        std::vector<std::string> quiet = keys;
        quiet.push_back("game");
        const auto plain = runLumenpull(quiet, dir.path().string());
        EXPECT_EQ(plain.errors, "");  // standard error is no terminal here
        std::vector<std::string> forced = keys;
        forced.insert(forced.end(), {"--progress", "game"});
        const auto shown = runLumenpull(forced, dir.path().string());
        EXPECT_EQ(shown.exitCode, plain.exitCode);
        EXPECT_EQ(shown.output, plain.output) << keys.back();
        // A log gets whole lines, the last one with the run's totals.
        ASSERT_FALSE(shown.errors.empty()) << keys.back();
        EXPECT_EQ(shown.errors.back(), '\n');
        // (The Windows build ends its lines with "\r\n", as a text stream does there.)
        for (std::size_t at = shown.errors.find('\r'); at != std::string::npos; at = shown.errors.find('\r', at + 1)) {
            EXPECT_EQ(shown.errors[at + 1], '\n') << "a line drawn over at " << at;
        }
        const std::string last = shown.errors.substr(shown.errors.rfind('\n', shown.errors.size() - 2) + 1);
        EXPECT_EQ(last.rfind("4/4 files, 3 images, ", 0), 0u) << last;
        // The last of the two keys wins.
        forced.insert(forced.end() - 1, "--no-progress");
        EXPECT_EQ(runLumenpull(forced, dir.path().string()).errors, "");
    }
}

}  // namespace
}  // namespace lumenpull
