// -o and -t through the real executable: images land below the output
// folder in the input tree's shape, and nowhere else.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <sstream>

#include "support/image_reader.h"
#include "support/pixel_data_writer.h"
#include "support/resource_writer.h"
#include "support/run_tool.h"
#include "support/temp_dir.h"

namespace lumenpull {
namespace {

namespace fs = std::filesystem;
using test::ResourceBuilder;
using test::TextureClass;
using test::TextureFields;

constexpr uint32_t kSixFaces = 0x2;

std::vector<uint8_t> oneTexture(int32_t format = 3) {
    ResourceBuilder file;
    file.addStandardTypes();
    file.addStaticTexture(4, 2, 0, format, test::storeBgra(test::makeGradient(4, 2)));
    return file.payload();
}

// Three textures: one picture, a cube of six faces and two frames.
std::vector<uint8_t> textureSet() {
    const auto stored = test::storeBgra(test::makeColourWheel(4, 4));
    std::vector<uint8_t> six, two;
    for (int i = 0; i < 6; ++i) six.insert(six.end(), stored.begin(), stored.end());
    for (int i = 0; i < 2; ++i) two.insert(two.end(), stored.begin(), stored.end());
    ResourceBuilder file;
    file.addStandardTypes();
    file.addStaticTexture(4, 4, 0, 7, stored);  // grey
    TextureFields cube;
    cube.width = cube.height = 4;
    cube.format = 3;
    cube.flags = kSixFaces;
    cube.pixels = six;
    file.addTexture(TextureClass::Static, cube);
    TextureFields anim = cube;
    anim.flags = 0;
    anim.format = 2;
    anim.pixels = two;
    anim.frameCount = 2;
    file.addTexture(TextureClass::Anim, anim, /*edited=*/true);
    return file.payload();
}

// The images of textureSet() under `base`.
std::vector<std::string> setImages(const std::string& base, const std::string& extension) {
    std::vector<std::string> names = {base + "_0." + extension};
    for (int face = 0; face < 6; ++face) names.push_back(base + "_1_0" + std::to_string(face) + "." + extension);
    names.push_back(base + "_2_00." + extension);
    names.push_back(base + "_2_01." + extension);
    return names;
}

class OutputFolder : public ::testing::Test {
protected:
    void SetUp() override {
        dir_.writeFile("game/textures/wall.tex", oneTexture());
        dir_.writeFile("game/textures/sub/set.tex", textureSet());
        dir_.writeFile("game/textures/sub/deeper/floor.rsc", oneTexture());
        dir_.writeFile("game/textures/big/a.tex", oneTexture());
        dir_.writeFile("game/textures/big/a--Big.tex", oneTexture(8));
        dir_.writeFile("game/textures/empty/none.tex", std::vector<uint8_t>{});
    }

    test::ToolRun run(const std::vector<std::string>& arguments, const std::string& cwd = "") const {
        return test::runLumenpull(arguments, (dir_.path() / cwd).string());
    }

    // Every image anywhere in the scratch folder, relative to it.
    std::set<std::string> images() const {
        std::set<std::string> found;
        for (const auto& entry : fs::recursive_directory_iterator(dir_.path())) {
            const std::string extension = entry.path().extension().string();
            if (entry.is_regular_file() && (extension == ".tga" || extension == ".png" || extension == ".hdr")) {
                found.insert(fs::relative(entry.path(), dir_.path()).generic_string());
            }
        }
        return found;
    }

    // The images of the whole textures tree, mirrored below `base`.
    static std::set<std::string> treeBelow(const std::string& base) {
        std::set<std::string> names = {base + "/wall.tga", base + "/sub/deeper/floor.tga", base + "/big/a.tga",
                                       base + "/big/a--Big.tga"};
        for (const auto& name : setImages(base + "/sub/set", "tga")) names.insert(name);
        return names;
    }

    test::TempDir dir_;
};

// Every line a conversion or a texture-less file; never an error.
void expectAllConverted(const test::ToolRun& run) {
    EXPECT_EQ(run.exitCode, 0);
    std::istringstream lines(run.output);
    std::string line;
    while (std::getline(lines, line)) {
        EXPECT_TRUE(line.find("converted into") != std::string::npos || line.find("none.tex: ") != std::string::npos)
            << line;
    }
}

TEST_F(OutputFolder, MirrorsTheTreeBelowTheInputsParent) {
    const std::string absolute = dir_.path().string();
    struct Case {
        std::string cwd;
        std::vector<std::string> arguments;
        std::set<std::string> expected;
    };
    const std::vector<Case> cases = {
        // A file input keeps only its name; the last -o wins.
        {"", {"-o", "first", "-o", "out", "game/textures/wall.tex"}, {"out/wall.tga"}},
        {"", {"-o", "out", "game/textures"}, {"out/textures/wall.tga"}},
        {"", {"-r", "-o", "out/", "game/textures/"}, treeBelow("out/textures")},
        {"", {"-r", "-o", absolute + "/out", absolute + "/game/textures"}, treeBelow("out/textures")},
        // Inputs that name no folder of their own add no folder.
        {"game/textures", {"-r", "-o", "../../out", "."}, treeBelow("out")},
        {"game/textures/sub", {"-r", "-o", absolute + "/out", ".."}, treeBelow("out")},
        {"", {"-r", "-o", "out", "game/textures/sub/.."}, treeBelow("out")},
        {"", {"-r", "-o", "out", "game/textures/."}, treeBelow("out")},
        // --nobig: only the --Big twin is converted, under the plain name.
        {"", {"-r", "--nobig", "-o", "out", "game/textures/big"}, {"out/big/a.tga"}},
        // Several inputs, each mirrored from its own parent.
        {"game",
         {"-o", "../out", "textures/sub/set.tex", "textures/big"},
         {"out/big/a.tga", "out/big/a--Big.tga", "out/set_0.tga", "out/set_1_00.tga", "out/set_1_01.tga",
          "out/set_1_02.tga", "out/set_1_03.tga", "out/set_1_04.tga", "out/set_1_05.tga", "out/set_2_00.tga",
          "out/set_2_01.tga"}},
    };
    for (const Case& c : cases) {
        fs::remove_all(dir_.path() / "out");
        fs::remove_all(dir_.path() / "first");
        const auto result = run(c.arguments, c.cwd);
        SCOPED_TRACE(c.arguments.back());
        expectAllConverted(result);
        // Exactly these images, anywhere: nothing beside the inputs or outside the folder.
        EXPECT_EQ(images(), c.expected) << result.output;
        // A file without textures leaves no empty folder behind.
        EXPECT_FALSE(fs::exists(dir_.path() / "out/textures/empty"));
        EXPECT_FALSE(fs::exists(dir_.path() / "first"));
    }
}

TEST_F(OutputFolder, PngImagesHoldTheTgaPixels) {
    auto result = run({"-r", "-t", "png", "-o", "png", "game/textures/sub"});
    expectAllConverted(result);
    std::set<std::string> expected = {"png/sub/deeper/floor.png"};
    for (const auto& name : setImages("png/sub/set", "png")) expected.insert(name);
    EXPECT_EQ(images(), expected);
    result = run({"-r", "-t", "hdr tga", "-o", "tga", "game/textures/sub"});
    expectAllConverted(result);
    const std::vector<std::string> tgas = setImages("tga/sub/set", "tga");
    const std::vector<std::string> pngs = setImages("png/sub/set", "png");
    for (size_t i = 0; i < tgas.size(); ++i) {
        const auto tga = test::readWithPillow(dir_ / tgas[i]);
        const auto png = test::readWithPillow(dir_ / pngs[i]);
        EXPECT_EQ(png.mode, i == 0 ? "L" : i < 7 ? "RGBA" : "RGB") << pngs[i];
        EXPECT_EQ(png.mode, tga.mode) << pngs[i];
        EXPECT_EQ(png.width, 4);
        EXPECT_TRUE(png.rgba == tga.rgba) << pngs[i];
    }
}

TEST_F(OutputFolder, AFolderThatCannotBeCreatedEndsOnlyThatFilesLine) {
    dir_.writeFile("out/textures/sub", "a file where a folder belongs");
    const auto result = run({"-r", "-o", "out", "game/textures"});
    EXPECT_EQ(result.exitCode, 0);
    const char s = test::pathSeparator();
    const std::string sub = std::string("game/textures") + s + "sub" + s;
    EXPECT_NE(result.output.find(sub + "set.tex: Error creating output folder\n"), std::string::npos) << result.output;
    EXPECT_NE(result.output.find(sub + "deeper" + s + "floor.rsc: Error creating output folder\n"), std::string::npos);
    EXPECT_NE(result.output.find(std::string("game/textures") + s + "wall.tex: 1 texture(s) converted into 1 image(s)"),
              std::string::npos);
    EXPECT_EQ(images(), (std::set<std::string>{"out/textures/wall.tga", "out/textures/big/a.tga",
                                               "out/textures/big/a--Big.tga"}));
}

// An output folder no image can go to is told once, before any work, as an
// argument error naming it and the reason; a listing writes nothing and
// needs none.
TEST_F(OutputFolder, AnUnusableOutputFolderIsAnArgumentError) {
    dir_.writeFile("blocked", "not a folder");
    const std::string notADirectory = "': Not a directory\n";
    for (const std::string folder : {"blocked", "blocked/out", "blocked/out/deeper"}) {
        const auto result = run({"-r", "-o", folder, "game/textures/wall.tex", "game/textures"});
        EXPECT_EQ(result.exitCode, 1) << folder;
        EXPECT_EQ(result.output, "Cannot use output folder '" + folder + notADirectory) << folder;
    }
    EXPECT_EQ(images(), std::set<std::string>{});
    const auto listed = run({"-l", "-o", "blocked", "game/textures/wall.tex"});
    EXPECT_EQ(listed.exitCode, 0);
    EXPECT_EQ(listed.output.substr(0, listed.output.find('\n')), "game/textures/wall.tex: 1 texture(s)");
    // Root writes into any folder; only another user meets a read-only one.
    if (!test::runsWindowsBuild() && ::geteuid() != 0) {
        dir_.makeDir("readonly");
        ::chmod((dir_ / "readonly").c_str(), 0555);
        for (const std::string folder : {"readonly", "readonly/out"}) {
            const auto result = run({"-o", folder, "game/textures/wall.tex"});
            EXPECT_EQ(result.exitCode, 1) << folder;
            EXPECT_EQ(result.output, "Cannot use output folder '" + folder + "': Permission denied\n") << folder;
        }
    }
}

// A symbolic link to a folder inside the output folder is followed: the
// images go where it points (the README says so).
TEST_F(OutputFolder, FollowsSymbolicLinksToFoldersBelowIt) {
    if (test::runsWindowsBuild()) GTEST_SKIP() << "a Linux symbolic link";
    fs::create_directories(dir_.path() / "out");
    fs::create_directories(dir_.path() / "elsewhere");
    fs::create_directory_symlink(dir_.path() / "elsewhere", dir_.path() / "out/textures");
    const auto result = run({"-o", "out", "game/textures"});
    expectAllConverted(result);
    EXPECT_TRUE(fs::is_regular_file(dir_.path() / "elsewhere/wall.tga")) << result.output;
}

TEST_F(OutputFolder, AReadOnlyInputTreeConvertsIntoTheOutputFolder) {
    for (const auto& entry : fs::recursive_directory_iterator(dir_.path() / "game")) {
        fs::permissions(entry.path(), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                        fs::perm_options::remove);
    }
    fs::permissions(dir_.path() / "game", fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    const auto result = run({"-r", "-o", "out", "game"});
    expectAllConverted(result);
    std::set<std::string> expected;
    for (const auto& name : treeBelow("out/game/textures")) expected.insert(name);
    EXPECT_EQ(images(), expected);
}

TEST_F(OutputFolder, DoubleDashLetsAnInputStartWithADash) {
    dir_.writeFile("-dash.tex", oneTexture());
    const auto result = run({"-o", "out", "--", "-dash.tex"});
    EXPECT_EQ(result.output, "-dash.tex: 1 texture(s) converted into 1 image(s)\n");
    EXPECT_EQ(images(), (std::set<std::string>{"out/-dash.tga"}));
}

}  // namespace
}  // namespace lumenpull
