// Checks the shipped area-code table data/areacodes.tsv: the form of its
// lines, and that it and the number table data/quelto.tsv agree on the code
// of every city they share.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#ifndef AREACODES_TSV
#error "AREACODES_TSV must name the shipped area-code table"
#endif
#ifndef QUELTO_TSV
#error "QUELTO_TSV must name the shipped table"
#endif

namespace {

std::vector<std::string> split(const std::string &text, const std::string &separator) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = text.find(separator, start);
        fields.push_back(text.substr(start, end - start));
        if (end == std::string::npos) {
            return fields;
        }
        start = end + separator.size();
    }
}

// The lines of a tab-separated file, the header first; empty when it cannot
// be opened.
std::vector<std::vector<std::string>> readTsv(const char *path) {
    std::vector<std::vector<std::string>> lines;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        lines.push_back(split(line, "\t"));
    }
    return lines;
}

struct AreaCode {
    std::size_t line;
    std::string province;
    std::vector<std::string> cities;  // the city the code is named after first
    std::string lengths;
};

// The header and every line's form; the codes by code.
const std::map<std::string, AreaCode> &areaCodes() {
    static const std::map<std::string, AreaCode> codes = [] {
        std::map<std::string, AreaCode> codes;
        const auto lines = readTsv(AREACODES_TSV);
        EXPECT_FALSE(lines.empty()) << "cannot open " << AREACODES_TSV;
        EXPECT_EQ(lines.front(),
                  (std::vector<std::string>{"区号", "省份", "城市", "共用城市", "本地号码位数"}));
        for (std::size_t i = 1; i < lines.size(); ++i) {
            const std::vector<std::string> &fields = lines[i];
            const bool form = fields.size() == 5 &&
                              (fields[0].size() == 3 || fields[0].size() == 4) &&
                              fields[0].starts_with('0') &&
                              (fields[4] == "7" || fields[4] == "8" || fields[4] == "7,8");
            EXPECT_TRUE(form) << "areacodes.tsv line " << i + 1;
            EXPECT_TRUE(codes.empty() || fields[0] > codes.rbegin()->first)
                << "areacodes.tsv line " << i + 1 << " is out of order or repeated";
            if (form) {
                AreaCode code{i + 1, fields[1], {fields[2]}, fields[4]};
                if (!fields[3].empty()) {
                    for (const std::string &other : split(fields[3], "、")) {
                        code.cities.push_back(other);
                    }
                }
                codes.emplace(fields[0], std::move(code));
            }
        }
        return codes;
    }();
    return codes;
}

// The number table's 区号 for a city is one of that city's codes in the
// area-code table, in the same province; so every city of the number table
// is there, and a landline and a mobile of one city answer with one code.
TEST(AreaCodeTableTest, AgreesWithTheNumberTableOnEveryCity) {
    const auto numbers = readTsv(QUELTO_TSV);
    ASSERT_GT(numbers.size(), 1u) << "cannot open " << QUELTO_TSV;
    std::set<std::vector<std::string>> seen;  // province, city, code
    for (std::size_t i = 1; i < numbers.size(); ++i) {
        const std::vector<std::string> &fields = numbers[i];
        ASSERT_EQ(fields.size(), 6u) << "quelto.tsv line " << i + 1;
        if (!seen.insert({fields[2], fields[3], fields[4]}).second) {
            continue;
        }
        const std::string where =
            "quelto.tsv line " + std::to_string(i + 1) + ": " + fields[2] + "/" + fields[3];
        const auto found = areaCodes().find(fields[4]);
        if (found == areaCodes().end()) {
            ADD_FAILURE() << where << ": area code " << fields[4] << " is not in areacodes.tsv";
            continue;
        }
        const AreaCode &code = found->second;
        EXPECT_EQ(code.province, fields[2]) << where << ", areacodes.tsv line " << code.line;
        const bool listed =
            std::find(code.cities.begin(), code.cities.end(), fields[3]) != code.cities.end();
        EXPECT_TRUE(listed) << where << ": areacodes.tsv line " << code.line << " does not list "
                            << fields[3] << " on " << fields[4];
    }
}

// Lines as a landline lookup must show them: the hub first on a shared
// network, codes still dialled in a county town, and the codes cities gave
// up when they joined a shared network left out.
TEST(AreaCodeTableTest, KnownCodes) {
    struct Case {
        const char *code;
        const char *cities;  // "、"-separated, the hub first; "" when the code must be absent
        const char *lengths;
    };
    const Case cases[] = {
        {"010", "北京", "8"},
        {"024", "沈阳、铁岭、抚顺、本溪", "8"},
        {"0371", "郑州、开封", "8"},
        {"0851", "贵阳、遵义、安顺", "7,8"},
        {"0728", "仙桃、潜江、天门", "7"},
        {"0335", "秦皇岛", "7"},
        {"0634", "济南", "7"},
        {"0992", "伊犁", "7"},
        {"0832", "内江", "7"},
        {"0378", "", ""},
        {"0414", "", ""},
        {"0853", "", ""},
        {"0807", "", ""},
    };
    for (const Case &c : cases) {
        const auto found = areaCodes().find(c.code);
        if (*c.cities == '\0') {
            EXPECT_EQ(found, areaCodes().end()) << c.code << " must be left out";
            continue;
        }
        ASSERT_NE(found, areaCodes().end()) << c.code;
        std::string cities;
        for (const std::string &city : found->second.cities) {
            cities += (cities.empty() ? "" : "、") + city;
        }
        EXPECT_EQ(cities, c.cities) << c.code;
        EXPECT_EQ(found->second.lengths, c.lengths) << c.code;
    }
}

}  // namespace
