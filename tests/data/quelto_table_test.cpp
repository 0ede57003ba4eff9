// Checks the shipped table data/quelto.tsv as a whole: the form of every
// line, the order and disjointness of the ranges, and the names and area
// codes a lookup will show. Needs nothing but the text file.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#ifndef QUELTO_TSV
#error "QUELTO_TSV must name the shipped table"
#endif

namespace {

struct Line {
    int number;  // 1-based, the header being line 1
    long first;
    long last;
    std::vector<std::string> texts;  // 省份, 城市, 区号, 卡信息
};

struct Table {
    bool opened = false;
    std::string content;
    std::string header;
    std::vector<Line> lines;
    std::vector<std::string> malformed;  // "<line number>: <line>"
};

Table load() {
    Table table;
    std::ifstream in(QUELTO_TSV, std::ios::binary);
    if (!in)
        return table;
    table.opened = true;
    std::ostringstream whole;
    whole << in.rdbuf();
    table.content = whole.str();

    static const std::regex key("1[0-9]{6}");
    std::istringstream text(table.content);
    std::string line;
    int number = 0;
    while (std::getline(text, line)) {
        ++number;
        if (number == 1) {
            table.header = line;
            continue;
        }
        std::vector<std::string> fields;
        std::size_t start = 0;
        while (true) {
            const std::size_t tab = line.find('\t', start);
            fields.push_back(line.substr(start, tab - start));
            if (tab == std::string::npos)
                break;
            start = tab + 1;
        }
        if (fields.size() != 6 || !std::regex_match(fields[0], key) ||
            !std::regex_match(fields[1], key)) {
            table.malformed.push_back(std::to_string(number) + ": " + line);
            continue;
        }
        table.lines.push_back(Line{number,
                                   std::stol(fields[0]),
                                   std::stol(fields[1]),
                                   {fields[2], fields[3], fields[4], fields[5]}});
    }
    return table;
}

const Table &shipped() {
    static const Table table = load();
    return table;
}

TEST(QueltoTableTest, HeaderAndLineForm) {
    ASSERT_TRUE(shipped().opened) << "cannot open " << QUELTO_TSV;
    EXPECT_EQ(shipped().header, "号码1\t号码2\t省份\t城市\t区号\t卡信息");
    EXPECT_EQ(shipped().content.find('\r'), std::string::npos) << "CR in the table";
    ASSERT_FALSE(shipped().content.empty());
    EXPECT_EQ(shipped().content.back(), '\n') << "the last line has no line end";
    for (const std::string &line : shipped().malformed) ADD_FAILURE() << "malformed line " << line;
}

// Sorted, disjoint ranges within the mobile prefixes put every prefix in at
// most one row, which is what the range query relies on.
TEST(QueltoTableTest, RangesAreSortedAndDisjoint) {
    long previousLast = 1299999;
    for (const Line &line : shipped().lines) {
        EXPECT_GE(line.first, 1300000) << "line " << line.number;
        EXPECT_LE(line.last, 1999999) << "line " << line.number;
        EXPECT_LE(line.first, line.last) << "line " << line.number;
        EXPECT_GT(line.first, previousLast)
            << "line " << line.number << " overlaps or is out of order";
        previousLast = line.last;
    }
}

// Neighbouring ranges with the same texts would be one row; finding two
// means the table was not written by the generator's merging.
TEST(QueltoTableTest, NeighboursWithTheSameTextsAreMerged) {
    for (std::size_t i = 1; i < shipped().lines.size(); ++i) {
        const Line &a = (shipped().lines)[i - 1];
        const Line &b = (shipped().lines)[i];
        EXPECT_FALSE(a.last + 1 == b.first && a.texts == b.texts) << "line " << b.number;
    }
}

TEST(QueltoTableTest, CoversTheNationalTable) {
    long prefixes = 0;
    for (const Line &line : shipped().lines) prefixes += line.last - line.first + 1;
    // The geocoder places about 321 000 prefixes; far fewer means a
    // truncated or placeholder table.
    EXPECT_GT(prefixes, 300000);
    EXPECT_GT(shipped().lines.size(), 10000u);
}

TEST(QueltoTableTest, TextsAreShortCurrentNames) {
    static const std::set<std::string> provinces{
        "北京", "天津", "上海", "重庆", "河北", "山西", "内蒙古", "辽宁", "吉林", "黑龙江", "江苏",
        "浙江", "安徽", "福建", "江西", "山东", "河南", "湖北",   "湖南", "广东", "广西",   "海南",
        "四川", "贵州", "云南", "西藏", "陕西", "甘肃", "青海",   "宁夏", "新疆"};
    static const std::set<std::string> municipalities{"北京", "天津", "上海", "重庆"};
    static const std::set<std::string> carriers{"中国移动",
                                                "中国联通",
                                                "中国电信",
                                                "中国广电",
                                                "中国移动(虚拟运营商)",
                                                "中国联通(虚拟运营商)",
                                                "中国电信(虚拟运营商)"};
    static const char *const outdated[] = {"襄樊", "思茅", "巢湖", "莱芜", "株州"};
    static const char *const longSuffixes[] = {"省",         "市",   "自治区",
                                               "特别行政区", "地区", "自治州"};
    static const std::regex areaCode("0[0-9]{2,3}");

    for (const Line &line : shipped().lines) {
        const std::string &province = line.texts[0];
        const std::string &city = line.texts[1];
        const std::string where =
            "line " + std::to_string(line.number) + ": " + province + "/" + city;
        for (const std::string &text : line.texts) EXPECT_FALSE(text.empty()) << where;
        EXPECT_TRUE(provinces.contains(province)) << where;
        if (municipalities.contains(province))
            EXPECT_EQ(city, province) << where;
        for (const char *name : outdated) EXPECT_EQ(city.find(name), std::string::npos) << where;
        for (std::string_view suffix : longSuffixes) EXPECT_FALSE(city.ends_with(suffix)) << where;
        EXPECT_TRUE(std::regex_match(line.texts[2], areaCode)) << where << " " << line.texts[2];
        EXPECT_TRUE(carriers.contains(line.texts[3])) << where << " " << line.texts[3];
    }
}

TEST(QueltoTableTest, OneAreaCodePerCity) {
    std::map<std::string, std::pair<std::string, int>> codes;  // city -> code, first line
    for (const Line &line : shipped().lines) {
        const std::string city = line.texts[0] + "/" + line.texts[1];
        const auto [found, added] = codes.try_emplace(city, line.texts[2], line.number);
        EXPECT_EQ(line.texts[2], found->second.first)
            << city << " on line " << line.number << ", first seen on line "
            << found->second.second;
    }
}

}  // namespace
