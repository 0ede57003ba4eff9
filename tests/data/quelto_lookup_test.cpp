// Known numbers through the whole path a lookup takes: the shipped table is
// built into a store file, and each number is looked up by its range query
// as the window does. Each expected row was checked against both source
// tables: many come from blocks laid out by area code (153 0733 for 株洲's
// 0733, 159 0378 for 开封's old 0378), so the place can be read off the number.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "plimora_table/table_text.h"
#include "store/connection_texts.h"
#include "store/data_connection.h"
#include "store/schema.h"

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
        s_rows = table::buildSysdat(QUELTO_TSV, (*s_dir / "sys.dat").string());
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
        // 13x
        {"13800138000", "北京", "北京", "010", "中国移动"},
        {"13807310000", "湖南", "长沙", "0731", "中国移动"},
        {"13305650000", "安徽", "合肥", "0551", "中国电信"},  // former 巢湖 block
        {"13002760000", "山东", "济南", "0634", "中国联通"},  // former 莱芜 block
        {"13309990000", "新疆", "伊犁", "0999", "中国电信"},
        {"13309770000", "青海", "海西", "0977", "中国电信"},
        {"13490000000", "北京", "北京", "010", "中国电信(卫星电话)"},  // not 中国移动's
        // 14x: data cards
        {"14512345678", "北京", "北京", "010", "中国联通(上网卡)"},
        // 15x, with the area codes that changed since 2010
        {"15307330000", "湖南", "株洲", "0731", "中国电信"},
        {"15508320000", "四川", "资阳", "028", "中国联通"},
        {"15903780000", "河南", "开封", "0371", "中国移动"},
        {"15209110000", "陕西", "延安", "0911", "中国移动"},
        // 16x
        {"16612345678", "重庆", "重庆", "023", "中国联通"},
        {"16212345678", "重庆", "重庆", "023", "中国电信(虚拟运营商)"},
        {"16512345678", "北京", "北京", "010", "中国移动(虚拟运营商)"},
        // 1610 is 中国广电's, with the places phonedata gives; the rest of 161
        // is not open, also where phonedata has a row.
        {"16100201234", "四川", "成都", "028", "中国广电"},
        {"16105011234", "湖南", "长沙", "0731", "中国广电"},
        {"16106461234", "辽宁", "鞍山", "0412", "中国广电"},
        {"16100211234", "", "", "", ""},
        {"16118821234", "", "", "", ""},
        // 17x: resale blocks split by the fourth digit, and whole-block entries
        // (173 → 北京, 1784 → 长春) that must not answer
        {"17007550000", "广东", "深圳", "0755", "中国电信(虚拟运营商)"},
        {"17055710000", "浙江", "杭州", "0571", "中国移动(虚拟运营商)"},
        {"17312345678", "江苏", "连云港", "0518", "中国电信"},
        {"17840000000", "广西", "桂林", "0773", "中国移动"},
        {"17400000000", "陕西", "西安", "029", "中国电信(卫星电话)"},
        // 18x
        {"18607550000", "广东", "深圳", "0755", "中国联通"},
        {"18004330000", "吉林", "延边", "0433", "中国电信"},
        {"18941400000", "辽宁", "本溪", "024", "中国电信"},
        // 19x
        {"19912345678", "河北", "唐山", "0315", "中国电信"},
        {"19212345678", "重庆", "重庆", "023", "中国广电"},
        // Segments never opened for public service have no row.
        {"16012345678", "", "", "", ""},
        {"17912345678", "", "", "", ""},
        {"19412345678", "", "", "", ""},
        {"14012345678", "", "", "", ""},
    };
    ASSERT_GT(s_rows, 0u);
    store::DataConnection connection;
    store::bind(connection, s_dir->string());
    for (const Case &c : cases) {
        const bool found = store::lookUp(connection, c.number);
        const bool expected = *c.province != '\0';
        EXPECT_EQ(found, expected) << c.number;
        if (!found || !expected) {
            continue;
        }
        store::Recordset &row = connection.Recordset();
        EXPECT_EQ(row.Fields(store::schema::kProvince).text(), c.province) << c.number;
        EXPECT_EQ(row.Fields(store::schema::kCity).text(), c.city) << c.number;
        EXPECT_EQ(row.Fields(store::schema::kAreaCode).text(), c.areaCode) << c.number;
        EXPECT_EQ(row.Fields(store::schema::kCard).text(), c.carrier) << c.number;
    }
}

}  // namespace
