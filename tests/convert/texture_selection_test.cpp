#include "convert/texture_selection.h"

#include <gtest/gtest.h>

#include <string>

#include "convert/wildcard_pattern.h"

namespace lumenpull {
namespace {

TEST(WildcardPattern, MatchesAsAShellDoes) {
    struct Case {
        const char* pattern;
        const char* text;
        bool posix;    // with "/" as the only separator and "\" escaping
        bool windows;  // with "\" and "/" as separators
    };
    const Case cases[] = {
        {"*", "", true, true},
        {"*", "a/b_0", true, true},  // a star crosses separators
        {"wall*", "wall_2", true, true},
        {"wall*", "Wall_2", false, false},  // letter case counts
        {"wall_?", "wall_2", true, true},
        {"wall_?", "wall_12", false, false},
        {"*_n", "rock_n", true, true},
        {"*_n", "rock_n_1", false, false},
        {"*a*b*c*", "xxaxxbxxcxx", true, true},
        {"*a*b*c*", "xxaxxcxxbxx", false, false},
        {"[bw]all", "wall", true, true},
        {"[!bw]all", "wall", false, false},
        {"[^bw]all", "tall", true, true},
        {"[a-c]x", "bx", true, true},
        {"[a-c]x", "dx", false, false},
        {"[]]", "]", true, true},
        {"[!]]", "a", true, true},
        {"[-a]", "-", true, true},
        {"a[", "a[", true, true},  // an unclosed set is a bracket
        {"\\*", "*", true, false},
        {"\\*", "x", false, false},
        {"sub/*", "sub/wall", true, true},
        {"sub/*", "sub\\wall", false, true},
        {"sub\\*", "sub/wall", false, true},
        {"sub[/]wall", "sub\\wall", false, true},
        {"**", "a/b", true, true},
        {"a*", "b", false, false},
        {"", "", true, true},
        {"", "a", false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(wildcardMatch(c.pattern, c.text, PathStyle::Posix), c.posix) << c.pattern << " ~ " << c.text;
        EXPECT_EQ(wildcardMatch(c.pattern, c.text, PathStyle::Windows), c.windows) << c.pattern << " ~ " << c.text;
    }
}

// Many stars against a long text that almost matches: no blow-up.
TEST(WildcardPattern, StarsTakeLinearTime) {
    const std::string pattern = std::string(64, '*') + "b";
    const std::string text(100000, 'a');
    EXPECT_FALSE(wildcardMatch(pattern, text, PathStyle::Posix));
}

TEST(TextureSelection, EveryKeyRestrictsAndTheyCombine) {
    using Layout = TextureSelection::Layout;
    struct Case {
        const char* what;
        std::vector<std::string> names;
        std::string kinds;
        uint32_t minSize;
        bool chosen;
    };
    // The texture: "textures/sub/rock_2", BC5, a cube, 64 x 256.
    const Case cases[] = {
        {"nothing asked", {}, "", 0, true},
        {"last name", {"rock_*"}, "", 0, true},
        {"a pattern without separator sees the last name only", {"textures*"}, "", 0, false},
        {"with a separator, the whole name", {"textures/*"}, "", 0, true},
        {"any of several patterns", {"grass*", "*_2"}, "", 0, true},
        {"none of several", {"grass*", "*_3"}, "", 0, false},
        {"format, any letter case", {}, "bc5", 0, true},
        {"other format", {}, "BC1, BC3", 0, false},
        {"layout", {}, "cube", 0, true},
        {"formats and layouts both count", {}, "BC5 single", 0, false},
        {"format among several, and layout", {}, "BC1,BC5 cube frames", 0, true},
        {"larger side reaches the size", {}, "", 256, true},
        {"larger side below it", {}, "", 257, false},
        {"every key", {"rock*"}, "cube", 128, true},
    };
    for (const Case& c : cases) {
        TextureSelection selection;
        selection.namePatterns = c.names;
        if (!c.kinds.empty()) {
            ASSERT_FALSE(selection.addKinds(c.kinds)) << c.what;
        }
        selection.minSize = c.minSize;
        EXPECT_EQ(selection.active(), c.what != std::string("nothing asked")) << c.what;
        EXPECT_EQ(selection.chooses("textures/sub/rock_2", "BC5", Layout::Cube, 64, 256, PathStyle::Posix), c.chosen)
            << c.what;
    }
}

TEST(TextureSelection, SidesUseTheirLow16Bits) {
    TextureSelection selection;
    selection.minSize = 2;
    // 65537 wide is 1 wide to every writer.
    EXPECT_FALSE(selection.chooses("a", "BC1", TextureSelection::Layout::Single, 65537, 1, PathStyle::Posix));
    EXPECT_TRUE(selection.chooses("a", "BC1", TextureSelection::Layout::Single, 65535, 1, PathStyle::Posix));
}

}  // namespace
}  // namespace lumenpull
