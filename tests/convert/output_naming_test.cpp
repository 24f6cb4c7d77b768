#include <gtest/gtest.h>

#include "convert/output_naming.h"

namespace lumenpull {
namespace {

struct NamingCase {
    PathStyle style;
    std::string input;
    std::string path;
    bool noBig;
    std::optional<std::string> folder;
    std::string name;        // expected base name
    std::string madeFolder;  // expected folder to create
};

class ImageBaseNames : public ::testing::TestWithParam<NamingCase> {};

TEST_P(ImageBaseNames, MirrorTheInputBelowTheOutputFolder) {
    const NamingCase& c = GetParam();
    const ImageBase base = imageBase(c.input, c.path, c.folder, c.noBig, c.style);
    EXPECT_EQ(base.name, c.name);
    EXPECT_EQ(base.folder, c.madeFolder);
    if (c.folder) {
        // Nothing leaves the folder: the name lies strictly below it, and no
        // part of what follows is "." or "..".
        EXPECT_EQ(base.name.compare(0, c.folder->size(), *c.folder), 0);
        const std::string below = base.name.substr(c.folder->size());
        const char separator = c.style == PathStyle::Windows ? '\\' : '/';
        size_t start = 0;
        while (start <= below.size()) {
            size_t end = below.find(separator, start);
            if (end == std::string::npos) end = below.size();
            const std::string part = below.substr(start, end - start);
            EXPECT_NE(part, ".");
            EXPECT_NE(part, "..");
            start = end + 1;
        }
    }
}

constexpr auto P = PathStyle::Posix;
constexpr auto W = PathStyle::Windows;
const std::optional<std::string> kBeside;

INSTANTIATE_TEST_SUITE_P(
    Table, ImageBaseNames,
    ::testing::Values(
        // Beside the input: the whole path up to its last dot, or the first
        // "--Big" of its file name; a folder's "--Big" is part of the folder.
        NamingCase{P, "dir/wall.tex", "dir/wall.tex", false, kBeside, "dir/wall", ""},
        NamingCase{P, "dir.old/readme", "dir.old/readme", false, kBeside, "dir", ""},
        NamingCase{P, "d--Big/t", "d--Big/t/a.tex", true, kBeside, "d--Big/t/a", ""},
        NamingCase{P, "d--Big/t", "d--Big/t/a--Big.tex", true, kBeside, "d--Big/t/a", ""},
        NamingCase{W, "d--Big\\t", "d--Big\\t\\a.tex", true, kBeside, "d--Big\\t\\a", ""},
        // A file input keeps only its own name.
        NamingCase{P, "a/b/wall.tex", "a/b/wall.tex", false, "out", "out/wall", "out"},
        NamingCase{P, "/abs/a/wall.tex", "/abs/a/wall.tex", false, "/o", "/o/wall", "/o"},
        NamingCase{P, "../../wall.tex", "../../wall.tex", false, "out", "out/wall", "out"},
        // A folder input brings its own name and everything below it.
        NamingCase{P, "game/textures", "game/textures/sub/wall.tex", false, "out", "out/textures/sub/wall",
                   "out/textures/sub"},
        NamingCase{P, "game/textures//", "game/textures//sub/a.b.tex", false, "out/", "out/textures/sub/a.b",
                   "out/textures/sub"},
        NamingCase{P, "/abs/game", "/abs/game/wall.tex", false, "out", "out/game/wall", "out/game"},
        // Inputs that name no folder of their own add no name.
        NamingCase{P, ".", "./sub/wall.tex", false, "out", "out/sub/wall", "out/sub"},
        NamingCase{P, "..", "../wall.tex", false, "out", "out/wall", "out"},
        NamingCase{P, "../..", "../../wall.tex", false, "out", "out/wall", "out"},
        NamingCase{P, "x/.", "x/./wall.tex", false, "out", "out/wall", "out"},
        NamingCase{P, "x/../", "x/../wall.tex", false, "out", "out/wall", "out"},
        NamingCase{P, "/", "/wall.tex", false, "out", "out/wall", "out"},
        NamingCase{P, "//", "//wall.tex", false, "out", "out/wall", "out"},
        // A name that adds nothing still stays inside the folder.
        NamingCase{P, "x/..", "x/..", false, "out", "out/", "out"},
        // --nobig cuts only the file name, below the input's parent.
        NamingCase{P, "t", "t/wall--Big.tex", true, "out", "out/t/wall", "out/t"},
        NamingCase{P, "d--Big/t", "d--Big/t/a.tex", true, "out", "out/t/a", "out/t"},
        NamingCase{P, "t", "t/p--Big/a--Big.tex", true, "out", "out/t/p--Big/a", "out/t/p--Big"},
        NamingCase{P, "t", "t/wall--Big.tex", false, "out", "out/t/wall--Big", "out/t"},
        // Backslashes are no separators on POSIX systems.
        NamingCase{P, "..\\..", "..\\../a.tex", false, "out", "out/..\\../a", "out/..\\.."},
        // Windows: drive letters, roots, \\server\share and both separators.
        NamingCase{W, "C:\\", "C:\\wall.tex", false, "out", "out\\wall", "out"},
        NamingCase{W, "C:", "C:wall.tex", false, "out", "out\\wall", "out"},
        NamingCase{W, "Z:textures", "Z:textures\\a.tex", false, "out", "out\\textures\\a", "out\\textures"},
        NamingCase{W, "Z:b.tex", "Z:b.tex", false, "D:", "D:b", "D:"},
        NamingCase{W, "C:..", "C:..\\a.tex", false, "out", "out\\a", "out"},
        NamingCase{W, "..\\..\\", "..\\..\\a.tex", false, "out", "out\\a", "out"},
        NamingCase{W, "game/textures", "game/textures\\sub\\a.tex", false, "C:\\o", "C:\\o\\textures\\sub\\a",
                   "C:\\o\\textures\\sub"},
        NamingCase{W, "\\\\server\\share", "\\\\server\\share\\a.tex", false, "out", "out\\a", "out"},
        NamingCase{W, "\\\\server\\share\\", "\\\\server\\share\\a.tex", false, "out", "out\\a", "out"},
        NamingCase{W, "\\\\server\\share\\t", "\\\\server\\share\\t\\a.tex", false, "out", "out\\t\\a", "out\\t"},
        NamingCase{W, "\\\\server\\share\\t\\w.tex", "\\\\server\\share\\t\\w.tex", false, "out", "out\\w", "out"}),
    [](const ::testing::TestParamInfo<NamingCase>& instance) { return std::to_string(instance.index); });

TEST(OutputNaming, TextureAndImageNumbers) {
    EXPECT_EQ(textureImageName("out/wall", false, 0), "out/wall");
    EXPECT_EQ(textureImageName("out/wall", true, 12), "out/wall_12");
    EXPECT_EQ(imageFileNames("wall", 1, ImageType::Png), (std::vector<std::string>{"wall.png"}));
    EXPECT_EQ(imageFileNames("wall_1", 3, ImageType::Tga),
              (std::vector<std::string>{"wall_1_00.tga", "wall_1_01.tga", "wall_1_02.tga"}));
    EXPECT_TRUE(imageFileNames("wall", 0, ImageType::Hdr).empty());
}

}  // namespace
}  // namespace lumenpull
