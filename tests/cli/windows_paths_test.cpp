// Path handling that only the Windows build has: backslash joins, drive-relative
// names and the system code page. These run when LUMENPULL_WINDOWS_EXE names
// the Windows executable (under Wine); the native build skips them.

#include <gtest/gtest.h>

#include <filesystem>

#include "support/resource_writer.h"
#include "support/run_tool.h"
#include "support/temp_dir.h"

namespace lumenpull {
namespace {

class WindowsPaths : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::runsWindowsBuild()) GTEST_SKIP() << "set LUMENPULL_WINDOWS_EXE to test the Windows build";
        test::ResourceBuilder file;
        file.addStandardTypes();
        file.addStaticTexture(2, 2, 0, 3, std::vector<uint8_t>(16, 5));
        texture_ = file.payload();
    }

    std::string run(const std::vector<std::string>& arguments) const {
        return test::runLumenpull(arguments, dir_.path().string()).output;
    }

    test::TempDir dir_;
    std::vector<uint8_t> texture_;
};

const std::string kConverted = ": 1 texture(s) converted into 1 image(s)\n";

TEST_F(WindowsPaths, EntriesAreJoinedWithABackslashUnlessTheInputEndsInASeparator) {
    dir_.writeFile("textures/a.tex", texture_);
    EXPECT_EQ(run({"textures"}), "textures\\a.tex" + kConverted);
    EXPECT_EQ(run({"textures\\"}), "textures\\a.tex" + kConverted);
    EXPECT_EQ(run({"textures/"}), "textures/a.tex" + kConverted);
}

TEST_F(WindowsPaths, DriveRelativeNames) {
    // Wine shows the Unix root as drive Z:, and the scratch folder is the
    // current directory there.
    dir_.writeFile("textures/a.tex", texture_);
    dir_.writeFile("b.tex", texture_);
    EXPECT_EQ(run({"Z:textures"}), "Z:textures\\a.tex" + kConverted);
    EXPECT_EQ(run({"Z:b.tex"}), "Z:b.tex" + kConverted);
    EXPECT_TRUE(std::filesystem::exists(dir_.path() / "b.tga"));
}

TEST_F(WindowsPaths, NamesInTheCodePageAndOutsideIt) {
    dir_.writeFile("textures/w\xC3\xA4ll.tex", texture_);     // "wäll": in code page 1252
    dir_.writeFile("textures/\xE6\x96\x87.tex", texture_);    // a CJK character: not in it
    const std::string output = run({"textures"});
    EXPECT_NE(output.find("textures\\w\xE4ll.tex" + kConverted), std::string::npos) << output;
    EXPECT_NE(output.find("textures: skipped an entry whose name is not in the system code page\n"),
              std::string::npos)
        << output;
    EXPECT_TRUE(std::filesystem::exists(dir_.path() / "textures/w\xC3\xA4ll.tga"));
}

}  // namespace
}  // namespace lumenpull
