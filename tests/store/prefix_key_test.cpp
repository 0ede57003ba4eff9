#include "store/prefix_key.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

struct KeyCase {
    const char *text;
    double key;
};

TEST(PrefixKey, ReadsTheFirstSevenCharactersAsANumber) {
    const KeyCase cases[] = {
        {"13800138000", 1380013},       // an eleven-digit number and its head agree
        {"1380013", 1380013},           // exactly seven
        {"138001", 138001},             // fewer than seven: all of them
        {"138", 138},                   //
        {"", 0},                        // nothing read gives 0
        {"   13800138000  ", 1380013},  // spaces at both ends do not count
        {"  1380013", 1380013},         //
        {"138a0013", 138},              // reading stops at the letter
        {"a1380013", 0},                // a first character that cannot start a number
        {"1380 013999", 138001},        // an inner space is one of the seven, then skipped
        {"13\t80013", 138001},          // tabs are skipped like blanks
        {"-123456", -123456},           // a sign may start the number
        {"+123456", 123456},            //
        {"12.5678", 12.5678},           // a decimal point
        {"1e3", 1000},                  // an exponent
        {"1e", 1},                      // an exponent with no digits is not read
        {"--12", 0},                    // a second sign cannot continue
        {"号码1380013", 0},             // a Chinese character cannot start a number
        {"\t\t\t\t\t\t1380013", 1},     // tabs are not trimmed, so they use up the seven
        {"0001380", 1380},              //
    };
    for (const auto &c : cases) {
        EXPECT_DOUBLE_EQ(store::prefixKey(c.text), c.key) << "text \"" << c.text << '"';
    }
}

TEST(PrefixKey, HugeExponentGivesAnInfiniteKeyNotAnError) {
    const double key = store::prefixKey("9e99999");
    EXPECT_TRUE(std::isinf(key));
    EXPECT_EQ(store::keyText(key), "9e999");
    EXPECT_EQ(store::keyText(-key), "-9e999");
}

TEST(KeyText, WritesPlainNumberLiterals) {
    const struct {
        double key;
        const char *text;
    } cases[] = {
        {1380013, "1380013"}, {0, "0"},        {-0.0, "0"},          {-5, "-5"},
        {12.5, "12.5"},       {1e-5, "1e-05"}, {9999999, "9999999"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(store::keyText(c.key), c.text) << "key " << c.key;
    }
}

TEST(Texts, ConnectionTextAndRangeQueryHaveTheirExactForm) {
    EXPECT_EQ(store::rangeQuery("1380013"),
              "select * from quelto where 号码1<=1380013 and 1380013<=号码2");
    const std::string connection = store::connectionText("/opt/plimora");
    EXPECT_EQ(connection,
              "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/opt/plimora/sys.dat;"
              "Persist Security Info=False");
    EXPECT_EQ(store::dataSource(connection), "/opt/plimora/sys.dat");
    EXPECT_EQ(store::dataSource("Provider=x"), "");
}

}  // namespace
