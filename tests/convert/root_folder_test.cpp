// The --root rule on the text of paths: which absolute paths lie below the
// root, and the names they keep there.

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "convert/root_folder.h"

namespace lumenpull {
namespace {

struct BelowCase {
    PathStyle style;
    std::string path;
    std::string root;
    std::optional<std::string> below;  // nothing: outside the root
};

class NamesBelowRoot : public ::testing::TestWithParam<BelowCase> {};

TEST_P(NamesBelowRoot, ComparesNameByNameOnTheText) {
    const BelowCase& c = GetParam();
    EXPECT_EQ(namesBelow(c.path, c.root, c.style), c.below) << c.path << " below " << c.root;
}

constexpr auto P = PathStyle::Posix;
constexpr auto W = PathStyle::Windows;
const std::optional<std::string> kOutside;

INSTANTIATE_TEST_SUITE_P(
    Table, NamesBelowRoot,
    ::testing::Values(BelowCase{P, "/g/textures/a/wall.tex", "/g/textures", "a/wall.tex"},
                      BelowCase{P, "/g/textures/a/wall.tex", "/g", "textures/a/wall.tex"},
                      // Trailing, doubled separators and "." names change nothing.
                      BelowCase{P, "/g/textures//a/./wall.tex", "/g/textures/", "a/wall.tex"},
                      BelowCase{P, "//g/textures/wall.tex", "/g/./textures/.", "wall.tex"},
                      // ".." takes away the name before it, on the text alone.
                      BelowCase{P, "/g/textures/b/../a/wall.tex", "/g/textures", "a/wall.tex"},
                      BelowCase{P, "/g/x/../textures/a.tex", "/g/textures/sub/..", "a.tex"},
                      BelowCase{P, "/g/textures/../other/a.tex", "/g/textures", kOutside},
                      BelowCase{P, "/../../g/a.tex", "/", "g/a.tex"},
                      // The root itself has no names below it.
                      BelowCase{P, "/g/textures", "/g/textures/", ""},
                      BelowCase{P, "/g/textures/a/..", "/g/textures", ""},
                      // Whole names only, with their case; "\" is an ordinary character.
                      BelowCase{P, "/g/textures2/a.tex", "/g/textures", kOutside},
                      BelowCase{P, "/g/a.tex", "/g/textures", kOutside},
                      BelowCase{P, "/g/Textures/a.tex", "/g/textures", kOutside},
                      BelowCase{P, "/g/t\\a.tex", "/g/t", kOutside}, BelowCase{P, "/g/t\\a.tex", "/g", "t\\a.tex"},
                      // Windows: both separators, drive letters and shares, ASCII case ignored.
                      BelowCase{W, "C:\\game\\textures\\a\\wall.tex", "C:\\game\\textures", "a\\wall.tex"},
                      BelowCase{W, "c:/Game/TEXTURES/a/wall.tex", "C:\\game\\textures\\", "a\\wall.tex"},
                      BelowCase{W, "C:\\game\\textures\\a.tex", "C:/", "game\\textures\\a.tex"},
                      BelowCase{W, "C:\\..\\game\\a.tex", "C:\\", "game\\a.tex"},
                      BelowCase{W, "D:\\game\\textures\\a.tex", "C:\\game\\textures", kOutside},
                      BelowCase{W, "C:\\gamex\\a.tex", "C:\\game", kOutside},
                      BelowCase{W, "\\\\server\\share\\t\\a.tex", "\\\\server\\share", "t\\a.tex"},
                      BelowCase{W, "//Server/Share/t/a.tex", "\\\\server\\share\\", "t\\a.tex"},
                      BelowCase{W, "\\\\server\\share\\..\\t\\a.tex", "\\\\server\\share\\t", "a.tex"},
                      BelowCase{W, "\\\\server\\other\\t\\a.tex", "\\\\server\\share", kOutside},
                      BelowCase{W, "\\\\server\\share\\t\\a.tex", "C:\\", kOutside}),
    [](const ::testing::TestParamInfo<BelowCase>& instance) { return std::to_string(instance.index); });

}  // namespace
}  // namespace lumenpull
