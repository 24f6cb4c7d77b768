#include <gtest/gtest.h>

#include "cli/printable_text.h"
#include "cli/utf8_text.h"

namespace lumenpull {
namespace {

TEST(ReportText, ControlBytesAreEscapedAndEverythingElseKept) {
    const std::pair<std::string, std::string> cases[] = {
        {"plain/name.tex", "plain/name.tex"},
        {"a\nb\rc\td", "a\\nb\\rc\\td"},
        {"\x1b[31mred", "\\x1b[31mred"},
        {std::string("nul\0end", 7), "nul\\x00end"},
        {"\x01\x1f\x7f", "\\x01\\x1f\\x7f"},
        {"caf\xc3\xa9 \xff\\back", "caf\xc3\xa9 \xff\\back"},  // non-ASCII and backslashes stay
    };
    for (const auto& [text, shown] : cases) EXPECT_EQ(printable(text), shown) << shown;
}

TEST(ReportText, EveryStrayByteBecomesOneReplacementCharacter) {
    const std::string r = "\xEF\xBF\xBD";
    const std::pair<std::string, std::string> cases[] = {
        {"caf\xc3\xa9", "caf\xc3\xa9"},
        {"\xf0\x9f\x98\x80", "\xf0\x9f\x98\x80"},  // four bytes, U+1F600
        {"\xff", r},
        {"a\xe2\x82z", "a" + r + r + "z"},    // a cut three-byte character
        {"\xc0\xaf", r + r},                  // overlong "/"
        {"\xed\xa0\x80", r + r + r},          // a surrogate
        {"\xf4\x90\x80\x80", r + r + r + r},  // above U+10FFFF
        {"\x80\xc3", r + r},                  // a lone continuation, a lead at the end
    };
    for (const auto& [bytes, text] : cases) {
        EXPECT_EQ(replacingInvalidUtf8(bytes), text);
        EXPECT_EQ(isValidUtf8(bytes), bytes == text);
        EXPECT_TRUE(isValidUtf8(replacingInvalidUtf8(bytes)));
    }
    EXPECT_EQ(hexBytes("A\xff\x01"), "41ff01");
}

}  // namespace
}  // namespace lumenpull
