#include <gtest/gtest.h>

#include <cstring>

#include "stream/counted_string.h"

namespace lumenpull {
namespace {

TEST(CountedString, EmptyValueHasNoBufferAndComparesAsEmptyText) {
    const CountedString empty;
    EXPECT_EQ(empty.Length(), 0u);
    EXPECT_EQ(empty.text, nullptr);
    EXPECT_TRUE(empty == "");
    EXPECT_TRUE(empty == CountedString(""));
    EXPECT_EQ(empty.str(), "");
    EXPECT_STREQ(empty.Duplicate().get(), "");
}

TEST(CountedString, CopyAssignmentOwnsASeparateTerminatedBuffer) {
    CountedString source("Texture");
    CountedString copy;
    copy = source;
    EXPECT_EQ(copy.Length(), 7u);
    EXPECT_NE(copy.text.get(), source.text.get());
    EXPECT_STREQ(copy.text.get(), "Texture");

    auto& self = copy;
    copy = self;
    EXPECT_STREQ(copy.text.get(), "Texture");
    EXPECT_EQ(copy.Length(), 7u);
}

TEST(CountedString, MoveLeavesTheSourceEmpty) {
    CountedString source(std::string("abc"));
    CountedString target(std::move(source));
    EXPECT_EQ(target, "abc");
    EXPECT_EQ(source.Length(), 0u);  // NOLINT(bugprone-use-after-move)
    EXPECT_EQ(source.text, nullptr);
}

TEST(CountedString, ComparesBytesUpToTheTerminator) {
    const CountedString name("CStaticTexture");
    EXPECT_TRUE(name == "CStaticTexture");
    EXPECT_TRUE(name != "CStaticTextur");
    EXPECT_TRUE(name != "CStaticTextures");
    EXPECT_FALSE(name == CountedString("CColorTexture"));
    auto copy = name.Duplicate();
    EXPECT_EQ(std::memcmp(copy.get(), "CStaticTexture", 15), 0);
}

}  // namespace
}  // namespace lumenpull
