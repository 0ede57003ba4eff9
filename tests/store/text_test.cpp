// How a stored text is shown on a terminal and trimmed of what cannot be
// seen: one table per function, printing the failing input.
#include "store/text.h"

#include <gtest/gtest.h>

namespace {

TEST(Text, EscapedTextShowsWhatWouldSteerATerminal) {
    const struct {
        std::string text;
        store::Layout layout;
        std::string shown;
    } cases[] = {
        {"北京 010", store::Layout::Escaped, "北京 010"},
        {"a\\b", store::Layout::Escaped, "a\\b"},
        {"\x1b[2J", store::Layout::Escaped, "\\x1B[2J"},
        {"x\x07\x7f", store::Layout::Escaped, "x\\x07\\x7F"},
        {"a\tb\nc\r", store::Layout::Escaped, "a\\x09b\\x0Ac\\x0D"},
        {"a\tb\nc\r", store::Layout::Kept, "a\tb\nc\\x0D"},
        {std::string("a\0b", 3), store::Layout::Kept, "a\\x00b"},
        {"\u0085\u009b", store::Layout::Escaped, "\\u0085\\u009B"},
        {"\u202e反\u2066向\u2069", store::Layout::Escaped, "\\u202E反\\u2066向\\u2069"},
        {"\xff\xfe", store::Layout::Escaped, "\\xFF\\xFE"},
        {"\xe5\x8c", store::Layout::Escaped, "\\xE5\\x8C"},           // cut short
        {"\xc0\xaf", store::Layout::Escaped, "\\xC0\\xAF"},           // overlong
        {"\xed\xa0\x80", store::Layout::Escaped, "\\xED\\xA0\\x80"},  // a surrogate
        {"\u200b\ufeff", store::Layout::Escaped, "\u200b\ufeff"},     // invisible, but harmless
    };
    for (const auto &c : cases) {
        EXPECT_EQ(store::escapedText(c.text, c.layout), c.shown) << c.text;
    }
}

TEST(Text, TrimInvisibleTakesBlanksAndInvisibleCharactersFromBothEnds) {
    const struct {
        std::string text;
        std::string trimmed;
    } cases[] = {
        {"北京", "北京"},
        {"  北京  ", "北京"},
        {"\u3000北京\u00a0", "北京"},
        {"\ufeff\u200b北 京\u200d\u2060", "北 京"},
        {"\u00ad\u180e\u3164", ""},
        {"\u200e\u200f", ""},
        {"\t北京", "\t北京"},
        {"\xff\u3000", "\xff"},
        {"", ""},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(store::trimInvisible(c.text), c.trimmed) << c.text;
    }
}

}  // namespace
