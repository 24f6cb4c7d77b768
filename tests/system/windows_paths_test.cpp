// Path handling that only the Windows build has: backslash joins, drive-relative
// names and the system code page. These run when LUMENPULL_WINDOWS_EXE names
// the Windows executable (under Wine); the native build skips them.

#include <gtest/gtest.h>

#include <filesystem>

#include "support/image_reader.h"
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
    dir_.writeFile("textures/w\xC3\xA4ll.tex", texture_);   // "wäll": in code page 1252
    dir_.writeFile("textures/\xE6\x96\x87.tex", texture_);  // a CJK character: not in it
    const std::string output = run({"textures"});
    EXPECT_NE(output.find("textures\\w\xE4ll.tex" + kConverted), std::string::npos) << output;
    EXPECT_NE(output.find("textures: skipped an entry whose name is not in the system code page\n"), std::string::npos)
        << output;
    EXPECT_TRUE(std::filesystem::exists(dir_.path() / "textures/w\xC3\xA4ll.tga"));
}

// The scratch folder as Wine's Windows programs see it, and the same in the
// \\?\unix\ form of a UNC path.
std::string windowsPath(const std::filesystem::path& path, const std::string& prefix) {
    std::string text = prefix + path.string();
    for (char& c : text) {
        if (c == '/') c = '\\';
    }
    return text;
}

TEST_F(WindowsPaths, OutputFolderWithBackslashesDrivesAndUncInputs) {
    dir_.writeFile("game/textures/sub/a.tex", texture_);
    dir_.writeFile("single/b.tex", texture_);
    const auto exists = [&](const std::string& name) { return std::filesystem::exists(dir_.path() / name); };

    EXPECT_EQ(run({"-r", "-o", "out\\x", "game\\textures\\"}), "game\\textures\\sub\\a.tex" + kConverted);
    EXPECT_TRUE(exists("out/x/textures/sub/a.tga"));
    // Drive-relative names: Z: is the Unix root, its current folder the scratch folder.
    EXPECT_EQ(run({"-r", "-o", "Z:drive", "Z:game"}), "Z:game\\textures\\sub\\a.tex" + kConverted);
    EXPECT_TRUE(exists("drive/game/textures/sub/a.tga"));
    EXPECT_EQ(run({"-o", "Z:drive", "Z:single\\b.tex"}), "Z:single\\b.tex" + kConverted);
    EXPECT_TRUE(exists("drive/b.tga"));
    // A drive's current folder and a root name no folder of their own.
    EXPECT_EQ(run({"-o", "root", "Z:"}), "No input files found\n");
    const std::string absolute = windowsPath(dir_.path() / "game", "Z:");
    EXPECT_EQ(run({"-r", "-o", windowsPath(dir_.path() / "abs", "Z:"), absolute + "\\."}),
              absolute + "\\.\\textures\\sub\\a.tex" + kConverted);
    EXPECT_TRUE(exists("abs/textures/sub/a.tga"));
    // \\server\share roots: a UNC form that reaches the scratch folder,
    // and one that reaches nothing.
    const std::string unc = windowsPath(dir_.path() / "game", "\\\\?\\unix");
    EXPECT_EQ(run({"-r", "-o", "unc", unc}), unc + "\\textures\\sub\\a.tex" + kConverted);
    EXPECT_TRUE(exists("unc/game/textures/sub/a.tga"));
    const std::string unreachable = run({"-o", "far", "\\\\server\\share\\b.tex"});
    EXPECT_EQ(
        unreachable.rfind(
            "\\\\server\\share\\b.tex: error opening reading stream: Error opening file \\\\server\\share\\b.tex: ", 0),
        0u)
        << unreachable;
    // An output folder that cannot be reached is refused once, before any
    // file, with the system's reason.
    const std::string farFolder = run({"-o", "\\\\server\\share\\out", "single\\b.tex"});
    EXPECT_EQ(farFolder.rfind("Cannot use output folder '\\\\server\\share\\out': ", 0), 0u) << farFolder;
    EXPECT_EQ(farFolder.find('\n'), farFolder.size() - 1) << farFolder;
    EXPECT_FALSE(exists("far"));
    EXPECT_FALSE(exists("root"));
}

// --root compares the absolute forms, which the system makes (a drive's own
// current folder for "Z:name"), name by name without regard to ASCII case.
TEST_F(WindowsPaths, RootWithDrivesBackslashesAndCase) {
    dir_.writeFile("textures/a/wall.tex", texture_);
    dir_.writeFile("textures/b/wall.tex", texture_);
    const auto exists = [&](const std::filesystem::path& name) { return std::filesystem::exists(dir_.path() / name); };

    EXPECT_EQ(run({"--root", "textures\\", "-o", "out", "textures/a/wall.tex"}), "textures/a/wall.tex" + kConverted);
    EXPECT_TRUE(exists("out/a/wall.tga"));
    EXPECT_EQ(run({"--root", "Z:textures", "-o", "out", "textures\\b\\wall.tex"}),
              "textures\\b\\wall.tex" + kConverted);
    EXPECT_TRUE(exists("out/b/wall.tga"));
    EXPECT_EQ(run({"--root", "TEXTURES", "-o", "upper", "-r", "Z:textures\\a"}),
              "Z:textures\\a\\wall.tex" + kConverted);
    EXPECT_TRUE(exists("upper/a/wall.tga"));
    EXPECT_EQ(run({"--root", windowsPath(dir_.path(), "Z:"), "-o", "absolute", "textures\\a\\..\\b\\wall.tex"}),
              "textures\\a\\..\\b\\wall.tex" + kConverted);
    EXPECT_TRUE(exists("absolute/textures/b/wall.tga"));
    // A drive's root: the whole absolute path is mirrored.
    EXPECT_EQ(run({"--root", "Z:\\", "-o", "drive", "textures\\a\\wall.tex"}), "textures\\a\\wall.tex" + kConverted);
    EXPECT_TRUE(exists(std::filesystem::path("drive") / dir_.path().relative_path() / "textures/a/wall.tga"));

    // Outside: a sibling folder, another drive.
    EXPECT_EQ(run({"--root", "textures\\a", "-o", "out", "textures\\b\\wall.tex", "C:\\wall.tex"}),
              "textures\\b\\wall.tex: not below --root textures\\a\n"
              "C:\\wall.tex: not below --root textures\\a\n");
    EXPECT_EQ(run({"--root", "textures\\a\\wall.tex", "-o", "out", "textures\\a\\wall.tex"}),
              "--root 'textures\\a\\wall.tex' is not a folder\n");
}

TEST_F(WindowsPaths, PngImagesAndSlashQuestionHelp) {
    dir_.writeFile("b.tex", texture_);
    EXPECT_EQ(run({"-t", "png", "-o", "png", "b.tex"}), "b.tex" + kConverted);
    const auto png = test::readWithPillow((dir_.path() / "png/b.png").string());
    EXPECT_EQ(png.mode, "RGBA");
    EXPECT_EQ(png.width, 2);
    EXPECT_EQ(run({"/?"}).rfind("Varnel Engine 2+ texture converter", 0), 0u);
}

}  // namespace
}  // namespace lumenpull
