#include "store/connection_texts.h"
#include "store/data_connection.h"
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
}

TEST(Texts, RangeQueryKeyIsFoundOnlyInTheRangeQuerysExactText) {
    const double keys[] = {1380013,
                           0,
                           -5,
                           12.5,
                           -0.5,
                           1e-5,
                           1e15,
                           1234567890123456,
                           1e300,
                           store::prefixKey("9e99999"),
                           -store::prefixKey("9e99999")};
    for (const double key : keys) {
        const std::string text = store::keyText(key);
        EXPECT_EQ(store::rangeQueryKey(store::rangeQuery(text)), text) << text;
    }
    const char *const others[] = {
        "select * from quelto where 号码1<=1380013 and 1380013<=号码2 ",
        " select * from quelto where 号码1<=1380013 and 1380013<=号码2",
        "select *  from quelto where 号码1<=1380013 and 1380013<=号码2",
        "select * from quelto where 号码1 <= 1380013 and 1380013 <= 号码2",
        "SELECT * FROM quelto WHERE 号码1<=1380013 AND 1380013<=号码2",
        "select * from quelto where 号码2<=1380013 and 1380013<=号码1",
        "select * from quelto where [号码1]<=1380013 and 1380013<=[号码2]",
        "select * from quelto2 where 号码1<=1380013 and 1380013<=号码2",
        "select 省份 from quelto where 号码1<=1380013 and 1380013<=号码2",
        "select * from quelto where 号码1<=1380013 and 1380014<=号码2",
        "select * from quelto where 号码1<=1380013 or 1380013<=号码2",
        "select * from quelto where 号码1<=?1 and ?1<=号码2",
        "select * from quelto where 号码1<='1380013' and '1380013'<=号码2",
        "select * from quelto where 号码1<=01380013 and 01380013<=号码2",
        "select * from quelto where 号码1<=1380013.0 and 1380013.0<=号码2",
        "select * from quelto where 号码1<=+1380013 and +1380013<=号码2",
        "select * from quelto where 号码1<=-0 and -0<=号码2",
        "select * from quelto where 号码1<=1E5 and 1E5<=号码2",
        "select * from quelto where 号码1<=1e15 and 1e15<=号码2",
        "select * from quelto where 号码1<=nan and nan<=号码2",
        "select * from quelto where 号码1<=inf and inf<=号码2",
        "select * from quelto where 号码1<=1 and 1 and 1 and 1<=号码2",
        "select * from quelto where 号码1<=1380013 and 1380013<=号码2 union select * from quelto",
        "",
    };
    for (const char *text : others) {
        EXPECT_FALSE(store::rangeQueryKey(text).has_value()) << text;
    }
}

// The connection text carries the folder as it is; the file a connection
// opens is the folder's sys.dat, never what the text would say when read back.
TEST(Texts, BindTakesTheFolderWhole) {
    const char *const folders[] = {
        "/opt/plimora",
        "/opt/a;b",
        "/tmp/;",
        "/tmp/a; b ;",
        "/tmp/Data Source",
        "/tmp/not-\xff-utf8",
        "/tmp/a;b;Data Source=elsewhere",
        "/tmp/;Provider=",
        "/tmp/;User ID=",
        "/tmp/;Persist Security Info=",
        "/tmp/evil.dat;Provider=x",
        "/tmp/=;=",
    };
    for (const char *folder : folders) {
        store::DataConnection connection;
        store::bind(connection, folder);
        EXPECT_EQ(connection.ConnectionString,
                  "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + std::string(folder) +
                      "/sys.dat;Persist Security Info=False");
        EXPECT_EQ(connection.storeFile(), std::string(folder) + "/sys.dat") << folder;
    }
}

}  // namespace
