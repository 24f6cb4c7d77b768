// --root through the real executable: files handed over one by one, as a
// cluster or a build farm hands them out, land where one run over their
// folder puts them; paths outside the root are refused.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>

#include "support/pixel_data_writer.h"
#include "support/resource_writer.h"
#include "support/run_tool.h"
#include "support/temp_dir.h"

namespace lumenpull {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> oneTexture(const test::RgbaImage& picture, int32_t format) {
    test::ResourceBuilder file;
    file.addStandardTypes();
    file.addStaticTexture(picture.width, picture.height, 0, format, test::storeBgra(picture));
    return file.payload();
}

// Fixture names "OutputFolder..." so that the Windows build's run takes it too.
class OutputFolderRoot : public ::testing::Test {
protected:
    void SetUp() override {
        // Two files of the same name with different pictures, in folders of their own.
        dir_.writeFile("textures/a/wall.tex", oneTexture(test::makeGradient(4, 2), 3));
        dir_.writeFile("textures/b/wall.tex", oneTexture(test::makeColourWheel(6, 6), 2));
        dir_.writeFile("textures/b/deeper/floor.rsc", oneTexture(test::makeCheckerboard(8, 8, 2), 3));
        dir_.writeFile("outside/stray.tex", oneTexture(test::makeGradient(2, 2), 3));
    }

    test::ToolRun run(const std::vector<std::string>& arguments, const std::string& cwd = "") const {
        return test::runLumenpull(arguments, (dir_.path() / cwd).string());
    }

    // Every image below `folder` with its bytes, by its path below it.
    std::map<std::string, std::vector<uint8_t>> tree(const std::string& folder) const {
        std::map<std::string, std::vector<uint8_t>> files;
        if (!fs::exists(dir_.path() / folder)) return files;
        for (const auto& entry : fs::recursive_directory_iterator(dir_.path() / folder)) {
            if (!entry.is_regular_file()) continue;
            files[fs::relative(entry.path(), dir_.path() / folder).generic_string()] =
                test::readFileBytes(entry.path().string());
        }
        return files;
    }

    std::set<std::string> names(const std::string& folder) const {
        std::set<std::string> found;
        for (const auto& [name, bytes] : tree(folder)) found.insert(name);
        return found;
    }

    test::TempDir dir_;
};

const std::vector<std::string> kFiles = {"textures/a/wall.tex", "textures/b/wall.tex", "textures/b/deeper/floor.rsc"};

// Each file its own input, in separate runs or in one, with one job or two:
// the tree of a one-machine run over the folder, byte for byte. "--root ."
// keeps the folder's own name, as "-r -o out textures" does.
TEST_F(OutputFolderRoot, FilesGivenOneByOneGiveTheTreeOfARunOverTheirFolder) {
    const auto whole = run({"-r", "-o", "one", "textures"});
    ASSERT_EQ(whole.exitCode, 0) << whole.output;
    const auto expected = tree("one");
    ASSERT_EQ(names("one"),
              (std::set<std::string>{"textures/a/wall.tga", "textures/b/wall.tga", "textures/b/deeper/floor.tga"}));

    for (const std::string& file : kFiles) {
        const auto alone = run({"--root", ".", "-o", "apart", file});
        EXPECT_EQ(alone.output, file + ": 1 texture(s) converted into 1 image(s)\n");
    }
    EXPECT_EQ(tree("apart"), expected);

    for (const char* jobs : {"1", "2"}) {
        fs::remove_all(dir_.path() / "together");
        std::vector<std::string> arguments = {"-j", jobs, "-o", "together", "--root", "."};
        arguments.insert(arguments.end(), kFiles.begin(), kFiles.end());
        const auto together = run(arguments);
        EXPECT_EQ(together.exitCode, 0);
        EXPECT_EQ(tree("together"), expected) << "-j " << jobs << "\n" << together.output;
    }

    // The folder's own level left out: the tree of a run over "." inside it.
    ASSERT_EQ(run({"-r", "-o", "../inside", "."}, "textures").exitCode, 0);
    std::vector<std::string> arguments = {"-o", "below", "--root", "textures"};
    arguments.insert(arguments.end(), kFiles.begin(), kFiles.end());
    EXPECT_EQ(run(arguments).exitCode, 0);
    EXPECT_EQ(names("below"), (std::set<std::string>{"a/wall.tga", "b/wall.tga", "b/deeper/floor.tga"}));
    EXPECT_EQ(tree("below"), tree("inside"));
}

// However the root and the inputs are spelled, the place below the root is
// the same.
TEST_F(OutputFolderRoot, RootAndInputsRelativeAbsoluteDottedAndWithTrailingSeparators) {
    const std::string absolute = dir_.path().string();
    struct Case {
        std::string cwd;
        std::vector<std::string> arguments;
        std::set<std::string> expected;  // below "out" in the scratch folder
    };
    const std::vector<Case> cases = {
        {"", {"--root", "textures", "textures/a/wall.tex"}, {"a/wall.tga"}},
        {"", {"--root", "textures/", "textures/a/wall.tex"}, {"a/wall.tga"}},
        {"", {"--root", "textures/.", "./textures/b/../a/wall.tex"}, {"a/wall.tga"}},
        {"", {"--root", absolute + "/textures", "textures/a/wall.tex"}, {"a/wall.tga"}},
        {"", {"--root", "textures", absolute + "/textures/a/wall.tex"}, {"a/wall.tga"}},
        {"", {"--root", absolute, absolute + "/textures/b/wall.tex"}, {"textures/b/wall.tga"}},
        {"", {"--root", "textures/a/..", "textures/b/wall.tex"}, {"b/wall.tga"}},
        // From inside the tree: ".." as the root, "." and ".." as inputs.
        {"textures/a", {"--root", "..", "wall.tex"}, {"a/wall.tga"}},
        {"textures/a", {"--root", "../", "../b/wall.tex"}, {"b/wall.tga"}},
        {"textures/a", {"--root", "../..", "-r", "."}, {"textures/a/wall.tga"}},
        {"textures/b/deeper", {"--root", "../..", "-r", ".."}, {"b/wall.tga", "b/deeper/floor.tga"}},
        // A folder input at or below the root, walked as usual.
        {"", {"--root", "textures", "-r", "textures"}, {"a/wall.tga", "b/wall.tga", "b/deeper/floor.tga"}},
        {"", {"--root", "textures", "textures/b/"}, {"b/wall.tga"}},
        // The last --root wins.
        {"", {"--root", "outside", "--root", "textures/b", "textures/b/wall.tex"}, {"wall.tga"}},
    };
    for (const Case& c : cases) {
        fs::remove_all(dir_.path() / "out");
        std::vector<std::string> arguments = {"-o", absolute + "/out"};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        const auto result = run(arguments, c.cwd);
        SCOPED_TRACE(c.cwd + ": " + c.arguments[1] + " " + c.arguments.back());
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_EQ(result.output.find("not below"), std::string::npos) << result.output;
        EXPECT_EQ(names("out"), c.expected) << result.output;
    }
}

TEST_F(OutputFolderRoot, InputsOutsideTheRootAreRefusedWithOneLineEach) {
    const char s = test::pathSeparator();
    // A file outside, one inside: the other files go on.
    auto result = run({"--root", "textures", "-o", "out", "outside/stray.tex", "textures/a/wall.tex"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.output,
              "outside/stray.tex: not below --root textures\n"
              "textures/a/wall.tex: 1 texture(s) converted into 1 image(s)\n");
    EXPECT_EQ(names("out"), (std::set<std::string>{"a/wall.tga"}));

    // A folder outside is refused whole, not file by file; one at the root
    // is walked.
    fs::remove_all(dir_.path() / "out");
    result = run({"--strict", "-r", "--root", "textures/a", "-o", "out", "textures/b", "textures/a", "textures/a/"});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.output,
              "textures/b: not below --root textures/a\n"
              "textures/a" +
                  std::string(1, s) +
                  "wall.tex: 1 texture(s) converted into 1 image(s)\n"
                  "textures/a/wall.tex: 1 texture(s) converted into 1 image(s)\n"
                  "3 file(s), 2 texture(s), 2 image(s), 1 failed\n");
    EXPECT_EQ(names("out"), (std::set<std::string>{"wall.tga"}));

    // Lookalikes: a name that only begins like the root, and ".." leaving it.
    dir_.writeFile("textures2/x.tex", oneTexture(test::makeGradient(2, 2), 3));
    result = run({"--json", "--strict", "--root", "textures", "-o", "out", "textures2/x.tex",
                  "textures/a/../../outside/stray.tex"});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.output,
              "{\"file\":\"textures2/x.tex\",\"error\":\"not below --root "
              "textures\",\"kind\":\"outside-root\",\"written\":[]}\n"
              "{\"file\":\"textures/a/../../outside/stray.tex\",\"error\":\"not below --root "
              "textures\",\"kind\":\"outside-root\",\"written\":[]}\n"
              "{\"summary\":{\"files\":2,\"textures\":0,\"images\":0,\"failed\":2}}\n");

    // A listing refuses them too, and names below the root what it would write.
    result = run({"-l", "--root", "textures", "-o", "out", "outside/stray.tex", "textures/b/wall.tex"});
    EXPECT_EQ(result.output.rfind("outside/stray.tex: not below --root textures\n"
                                  "textures/b/wall.tex: 1 texture(s)\n",
                                  0),
              0u)
        << result.output;
    EXPECT_NE(result.output.find("out" + std::string(1, s) + "b" + std::string(1, s) + "wall.tga\n"), std::string::npos)
        << result.output;
    EXPECT_FALSE(fs::exists(dir_.path() / "outside/stray.tga"));
}

// Paths are compared as written, links not followed: a link into the tree
// is outside a root that does not pass through it.
TEST_F(OutputFolderRoot, SymbolicLinksAreNotResolved) {
    if (test::runsWindowsBuild()) GTEST_SKIP() << "symbolic links are made by the POSIX side";
    fs::create_directory_symlink(dir_.path() / "textures/a", dir_.path() / "link");
    auto result = run({"--root", "textures", "-o", "out", "link/wall.tex"});
    EXPECT_EQ(result.output, "link/wall.tex: not below --root textures\n");
    result = run({"--root", "link", "-o", "out", "link/wall.tex"});
    EXPECT_EQ(result.output, "link/wall.tex: 1 texture(s) converted into 1 image(s)\n");
    EXPECT_EQ(names("out"), (std::set<std::string>{"wall.tga"}));
}

TEST_F(OutputFolderRoot, ArgumentErrorsBeforeAnyFileIsTouched) {
    struct Case {
        std::vector<std::string> arguments;
        std::string line;
    };
    const std::vector<Case> cases = {
        {{"-o", "out", "--root", "textures/a/wall.tex", "textures/a/wall.tex"},
         "--root 'textures/a/wall.tex' is not a folder"},
        {{"-o", "out", "--root", "missing", "textures/a/wall.tex"}, "--root 'missing' is not a folder"},
        {{"-o", "out", "--root", "", "textures/a/wall.tex"}, "--root '' is not a folder"},
        // Without -o an existing root is an error all the same.
        {{"--root", "textures", "textures/a/wall.tex"}, "--root needs an output folder (-o)"},
    };
    for (const Case& c : cases) {
        const auto result = run(c.arguments);
        EXPECT_EQ(result.exitCode, 1) << c.line;
        EXPECT_EQ(result.output, c.line + "\n");
    }
    EXPECT_FALSE(fs::exists(dir_.path() / "out"));
    EXPECT_FALSE(fs::exists(dir_.path() / "textures/a/wall.tga"));
}

}  // namespace
}  // namespace lumenpull
