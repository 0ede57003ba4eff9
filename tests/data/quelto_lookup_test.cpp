// Known numbers through the whole path a lookup takes: the shipped table is
// built into a store file, and each number is looked up by its range query
// as the window does. The expected rows were checked by hand: most numbers
// come from blocks laid out by (old) area code, such as 133 0565 for 巢湖's
// 0565 or 153 0733 for 株洲's 0733, so the place can be read off the number.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "store/connection_texts.h"
#include "store/data_connection.h"
#include "tools/sysdat_builder.h"

#ifndef QUELTO_TSV
#error "QUELTO_TSV must name the shipped table"
#endif

namespace {

std::string uniqueSuffix() {
    return std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
}

class QueltoLookupTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = new std::filesystem::path(std::filesystem::temp_directory_path() /
                                          ("quelto_lookup_test_" + uniqueSuffix()));
        std::filesystem::remove_all(*s_dir);
        std::filesystem::create_directories(*s_dir);
        s_rows = tools::buildSysdat(QUELTO_TSV, (*s_dir / "sys.dat").string());
    }

    static void TearDownTestSuite() {
        std::filesystem::remove_all(*s_dir);
        delete s_dir;
    }

    static std::filesystem::path *s_dir;
    static std::size_t s_rows;
};

std::filesystem::path *QueltoLookupTest::s_dir = nullptr;
std::size_t QueltoLookupTest::s_rows = 0;

TEST_F(QueltoLookupTest, KnownNumbers) {
    struct Case {
        const char *number;
        const char *province;  // "" when no row may cover the number
        const char *city;
        const char *areaCode;
        const char *carrier;
    };
    const Case cases[] = {
        {"13800138000", "北京", "北京", "010", "中国移动"},
        {"18607550000", "广东", "深圳", "0755", "中国联通"},
        {"13807310000", "湖南", "长沙", "0731", "中国移动"},
        // 株洲 and 湘潭 dial 长沙's 0731 since 2009.
        {"15307330000", "湖南", "株洲", "0731", "中国电信"},
        {"18907320000", "湖南", "湘潭", "0731", "中国电信"},
        // Blocks the geocoder still gives to 巢湖, 襄樊 and 莱芜.
        {"13305650000", "安徽", "合肥", "0551", "中国电信"},
        {"18107100000", "湖北", "襄阳", "0710", "中国电信"},
        {"13306340000", "山东", "济南", "0531", "中国电信"},
        // Cities on a bigger neighbour's network.
        {"15508320000", "四川", "资阳", "028", "中国联通"},
        {"13304100000", "辽宁", "铁岭", "024", "中国电信"},
        {"13308520000", "贵州", "遵义", "0851", "中国电信"},
        // Autonomous regions and prefectures.
        {"13307710000", "广西", "南宁", "0771", "中国电信"},
        {"13804710000", "内蒙古", "呼和浩特", "0471", "中国移动"},
        {"13309990000", "新疆", "伊犁", "0999", "中国电信"},
        {"13308920000", "西藏", "日喀则", "0892", "中国电信"},
        {"17707180000", "湖北", "恩施", "0718", "中国电信"},
        {"18004330000", "吉林", "延边", "0433", "中国电信"},
        {"13304570000", "黑龙江", "大兴安岭", "0457", "中国电信"},
        // Resale blocks and the former satellite block.
        {"17007550000", "广东", "深圳", "0755", "中国电信(虚拟运营商)"},
        {"17055710000", "浙江", "杭州", "0571", "中国移动(虚拟运营商)"},
        {"13490000000", "北京", "北京", "010", "中国移动"},
        // Blocks the geocoder places nowhere get no row.
        {"19900000000", "", "", "", ""},
        {"17300000000", "", "", "", ""},
        {"16600000000", "", "", "", ""},
    };
    ASSERT_GT(s_rows, 0u);
    store::DataConnection connection;
    connection.ConnectionString = store::connectionText(s_dir->string());
    for (const Case &c : cases) {
        const bool found = store::lookUp(connection, c.number);
        const bool expected = *c.province != '\0';
        EXPECT_EQ(found, expected) << c.number;
        if (!found || !expected)
            continue;
        store::Recordset &row = connection.Recordset();
        EXPECT_EQ(row.Fields("省份").text(), c.province) << c.number;
        EXPECT_EQ(row.Fields("城市").text(), c.city) << c.number;
        EXPECT_EQ(row.Fields("区号").text(), c.areaCode) << c.number;
        EXPECT_EQ(row.Fields("卡信息").text(), c.carrier) << c.number;
    }
}

}  // namespace
