// How a stored text is shown on a terminal. What trimInvisible() takes is
// tested through the row rule, its one user.
#include "store/text.h"

#include <gtest/gtest.h>

namespace {

TEST(Text, EscapedTextShowsWhatWouldSteerATerminal) {
    const struct {
        std::string text;
        store::Layout layout;
        std::string shown;
    } cases[] = {
        {"北京 a\\b", store::Layout::Escaped, "北京 a\\b"},
        {"a\tb\nc\r", store::Layout::Escaped, "a\\x09b\\x0Ac\\x0D"},
        {std::string("a\0b", 3), store::Layout::Kept, "a\\x00b"},
        {"\u009b\u2069", store::Layout::Escaped, "\\u009B\\u2069"},
        {"\xe5\x8c", store::Layout::Escaped, "\\xE5\\x8C"},           // cut short
        {"\xc0\xaf", store::Layout::Escaped, "\\xC0\\xAF"},           // overlong
        {"\xed\xa0\x80", store::Layout::Escaped, "\\xED\\xA0\\x80"},  // a surrogate
        {"\u200b\ufeff", store::Layout::Escaped, "\u200b\ufeff"},     // invisible, but harmless
    };
    for (const auto &c : cases) {
        EXPECT_EQ(store::escapedText(c.text, c.layout), c.shown) << c.text;
    }
}

}  // namespace
