#include "store/connection_texts.h"
#include "store/number_text.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(KeyText, InfiniteKeysAreWrittenAsLiteralsSqliteReadsAsInfinite) {
    const double key = store::prefixKey("9e99999");
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
