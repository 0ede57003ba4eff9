// Checks the shipped table data/quelto.tsv as a whole: the form of every
// line, the order and disjointness of the ranges, and the names and area
// codes a lookup will show. Reads the text file alone, under the rule every
// row of a store obeys.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "plimora_table/table_text.h"
#include "store/allocation.h"
#include "store/row_rule.h"

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
    if (!in) {
        return table;
    }
    table.opened = true;
    std::ostringstream whole;
    whole << in.rdbuf();
    table.content = whole.str();

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
            if (tab == std::string::npos) {
                break;
            }
            start = tab + 1;
        }
        if (fields.size() != store::Row::kColumnCount) {
            table.malformed.push_back(std::to_string(number) + ": " + line);
            continue;
        }
        const store::Row row{table::keyField(fields[0]),
                             table::keyField(fields[1]),
                             fields[2],
                             fields[3],
                             fields[4],
                             fields[5]};
        if (const auto problems = store::rowProblems(row); !problems.empty()) {
            table.malformed.push_back(std::to_string(number) + ": " +
                                      store::problemText(problems.front(), row));
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
    for (const std::string &line : shipped().malformed) {
        ADD_FAILURE() << "malformed line " << line;
    }
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
    for (const Line &line : shipped().lines) {
        prefixes += line.last - line.first + 1;
    }
    EXPECT_GE(prefixes, 510000);
    EXPECT_GT(shipped().lines.size(), 100000u);
}

// Every segment in public service answers at least 70 % of its 10,000
// prefixes, the old core segments 95 %; a segment the sources hold only in
// part answers at least what they held when the table was made.
TEST(QueltoTableTest, SegmentCoverageFloors) {
    std::map<long, long> covered;  // segment -> prefixes
    for (const Line &line : shipped().lines) {
        for (long prefix = line.first; prefix <= line.last; ++prefix) {
            ++covered[prefix / store::kSegmentSize];
        }
    }
    // Segments the sources hold only in part (157: 1578 is mostly unissued;
    // 161: only its block 1610 is open, and phonedata has 3 of its prefixes).
    const std::map<long, long> partial{{141, 204}, {144, 1642}, {149, 3729}, {157, 9219},
                                       {161, 3},   {174, 1037}, {196, 1463}, {197, 4778}};
    const std::set<long> closed{140, 142, 143, 154, 160, 163, 164, 168, 169, 179, 194};
    for (long segment = 130; segment <= 199; ++segment) {
        long floor = 7000;
        if (closed.contains(segment)) {
            floor = 0;
        } else if (partial.contains(segment)) {
            floor = partial.at(segment);
        } else if (segment / 10 == 13 || segment / 10 == 15 || segment / 10 == 18) {
            floor = 9500;
        }
        EXPECT_GE(covered[segment], floor) << "segment " << segment;
        if (closed.contains(segment)) {
            EXPECT_EQ(covered[segment], 0) << "segment " << segment << " is not in public service";
        }
    }
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
                                                "中国电信(虚拟运营商)",
                                                "中国移动(上网卡)",
                                                "中国联通(上网卡)",
                                                "中国电信(上网卡)",
                                                "中国移动(物联网)",
                                                "中国联通(物联网)",
                                                "中国电信(物联网)",
                                                "中国电信(卫星电话)"};
    static const char *const outdated[] = {
        "襄樊", "思茅",   "巢湖", "莱芜", "株州", "巴州", "克州", "博州", "吉首", "库尔勒",
        "奎屯", "格尔木", "珲春", "西昌", "万州", "涪陵", "黔江", "雄安", "潢川"};
    // Names that read as another place: 青海's 海南 is not the province.
    static const std::set<std::pair<std::string, std::string>> ambiguous{{"青海", "海南"}};
    static const char *const longSuffixes[] = {"省",         "市",   "自治区",
                                               "特别行政区", "地区", "自治州"};

    for (const Line &line : shipped().lines) {
        const std::string &province = line.texts[0];
        const std::string &city = line.texts[1];
        const std::string where =
            "line " + std::to_string(line.number) + ": " + province + "/" + city;
        EXPECT_TRUE(provinces.contains(province)) << where;
        if (municipalities.contains(province)) {
            EXPECT_EQ(city, province) << where;
        }
        for (const char *name : outdated) {
            EXPECT_EQ(city.find(name), std::string::npos) << where;
        }
        EXPECT_FALSE(ambiguous.contains({province, city})) << where;
        for (std::string_view suffix : longSuffixes) {
            EXPECT_FALSE(city.ends_with(suffix)) << where;
        }
        EXPECT_TRUE(carriers.contains(line.texts[3])) << where << " " << line.texts[3];
    }
}

// The carrier shown is the one the block was issued to, and no row reaches
// into a block that was never opened (161 but 1610).
TEST(QueltoTableTest, CarriersAreTheAllocation) {
    for (const Line &line : shipped().lines) {
        for (long block = line.first / store::kBlockSize; block <= line.last / store::kBlockSize;
             ++block) {
            const long prefix = std::max(line.first, block * store::kBlockSize);
            EXPECT_EQ(store::carrierOf(static_cast<int>(prefix)), line.texts[3])
                << "line " << line.number << ", prefix " << prefix;
        }
    }
}

// Each city has one area code, except 济南, whose former 莱芜 blocks keep
// the 0634 that 莱芜 and 钢城 districts still dial.
TEST(QueltoTableTest, OneAreaCodePerCity) {
    const std::map<std::string, std::set<std::string>> exceptions{{"山东/济南", {"0531", "0634"}}};
    std::map<std::string, std::pair<std::string, int>> codes;  // city -> code, first line
    for (const Line &line : shipped().lines) {
        const std::string city = line.texts[0] + "/" + line.texts[1];
        const auto exception = exceptions.find(city);
        if (exception != exceptions.end()) {
            EXPECT_TRUE(exception->second.contains(line.texts[2]))
                << city << " " << line.texts[2] << " on line " << line.number;
            continue;
        }
        const auto [found, added] = codes.try_emplace(city, line.texts[2], line.number);
        EXPECT_EQ(line.texts[2], found->second.first)
            << city << " on line " << line.number << ", first seen on line "
            << found->second.second;
    }
}

// Area codes that changed since 2010, as a lookup must show them today.
TEST(QueltoTableTest, CurrentAreaCodes) {
    const std::map<std::string, std::string> expected{
        {"河南/开封", "0371"}, {"辽宁/本溪", "024"}, {"贵州/遵义", "0851"}, {"贵州/安顺", "0851"},
        {"四川/眉山", "028"},  {"四川/资阳", "028"}, {"陕西/咸阳", "029"},  {"湖南/株洲", "0731"},
        {"湖南/湘潭", "0731"}, {"辽宁/铁岭", "024"}, {"辽宁/抚顺", "024"},  {"海南/三亚", "0898"}};
    std::set<std::string> seen;
    for (const Line &line : shipped().lines) {
        const std::string city = line.texts[0] + "/" + line.texts[1];
        const auto found = expected.find(city);
        if (found != expected.end()) {
            seen.insert(city);
            EXPECT_EQ(line.texts[2], found->second) << city << " on line " << line.number;
        }
    }
    for (const auto &[city, code] : expected) {
        EXPECT_TRUE(seen.contains(city)) << city << " has no row";
    }
}

}  // namespace
