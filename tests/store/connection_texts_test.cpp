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

TEST(Texts, DataSourceIsTheWholeFolderEvenWithSemicolonsInIt) {
    const char *const folders[] = {
        "/opt/plimora",     "/opt/a;b",           "/tmp/x;y;z",
        "/tmp/;",           "/tmp/a; b ;",        "/tmp/Persist Security Info=False;x",
        "/tmp/Data Source", "/tmp/not-\xff-utf8", "/tmp/a;b;Data Source=elsewhere",
    };
    for (const char *folder : folders) {
        const std::string connection = store::connectionText(folder);
        EXPECT_EQ(connection, "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" +
                                  std::string(folder) + "/sys.dat;Persist Security Info=False");
        EXPECT_EQ(store::dataSource(connection), std::string(folder) + "/sys.dat") << folder;
    }
    const struct {
        const char *connection;
        const char *source;
    } cases[] = {
        {"Provider=x;Data Source=/a;b/sys.dat", "/a;b/sys.dat"},  // to the end
        {"Data Source=/a/sys.dat;User ID=u;Persist Security Info=False", "/a/sys.dat"},
        {"data source=/a/sys.dat; persist security info=False", "/a/sys.dat"},
        {"Provider=x", ""},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(store::dataSource(c.connection), c.source) << c.connection;
    }
}

}  // namespace
