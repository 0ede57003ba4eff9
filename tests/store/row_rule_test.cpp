// The rule every row of a store obeys: one table of rows that stand, one of
// rows refused with the problems found, in the order reported.
#include "store/row_rule.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

using store::RowFault;
using store::Variant;

const Variant kNull = std::monostate{};

store::Row row(Variant low, Variant high, Variant province = "北京", Variant city = "北京",
               Variant areaCode = "010", Variant card = "中国移动") {
    return {std::move(low),  std::move(high),     std::move(province),
            std::move(city), std::move(areaCode), std::move(card)};
}

std::string describe(const std::vector<store::RowProblem> &problems, const store::Row &r) {
    std::string text;
    for (const auto &problem : problems) {
        text += store::problemText(problem, r) + "; ";
    }
    return text;
}

TEST(RowRule, RowsThatStand) {
    const std::vector<store::Row> rows = {
        row(1000000.0, 1999999.0),
        row(1380013.0, 1380013.0),
        row(1380000.0, 1380999.0, " 北京 ", "北京", "0755"),
        row(1740000.0, 1740599.0, "陕西", "西安", "029", "卫星电话"),
        row(1380000.0, 1380999.0, "新疆", "乌鲁木齐-昌吉", "0991", "中国移动(虚拟运营商)"),
        row(1380000.0, 1380999.0, "北\u3000京", "北京\u200b", "010", "卡+1"),
        row(1380000.0, 1380999.0, "\u3000北京", "北京", "010", "中国移动"),
    };
    for (const store::Row &r : rows) {
        EXPECT_TRUE(store::rowProblems(r).empty()) << describe(store::rowProblems(r), r);
    }
}

TEST(RowRule, RowsRefused) {
    struct Case {
        const char *what;
        store::Row row;
        std::vector<std::pair<RowFault, std::size_t>> problems;
    };
    const std::vector<Case> cases = {
        {"one digit", row(5.0, 5.0), {{RowFault::KeyNotPrefix, 0}}},
        {"six digits", row(138001.0, 1380013.0), {{RowFault::KeyNotPrefix, 0}}},
        {"eight digits", row(1380013.0, 13800138.0), {{RowFault::KeyNotPrefix, 1}}},
        {"not starting with 1", row(1380013.0, 2380013.0), {{RowFault::KeyNotPrefix, 1}}},
        {"fraction", row(1380013.5, 1380014.0), {{RowFault::KeyNotPrefix, 0}}},
        {"key as text", row("1380013", 1380013.0), {{RowFault::KeyNotPrefix, 0}}},
        {"key null", row(kNull, 1380013.0), {{RowFault::KeyNotPrefix, 0}}},
        {"NaN", row(std::nan(""), 1380013.0), {{RowFault::KeyNotPrefix, 0}}},
        {"reversed", row(1390009.0, 1390000.0), {{RowFault::Reversed, 0}}},
        {"null city", row(1391000.0, 1391000.0, "新疆", kNull), {{RowFault::NullText, 3}}},
        {"blank province", row(1392000.0, 1392000.0, "   "), {{RowFault::EmptyText, 2}}},
        {"tab in card",
         row(1392000.0, 1392000.0, "北京", "北京", "010", "移\t动"),
         {{RowFault::LineBreak, 5}}},
        {"line break in city",
         row(1392000.0, 1392000.0, "北京", "北\n京"),
         {{RowFault::LineBreak, 3}}},
        {"area code without 0",
         row(1393000.0, 1393000.0, "新疆", "伊犁", "999"),
         {{RowFault::AreaCode, 4}}},
        {"area code of letters",
         row(1393000.0, 1393000.0, "新疆", "伊犁", "abcd"),
         {{RowFault::AreaCode, 4}}},
        {"area code too short",
         row(1393000.0, 1393000.0, "北京", "北京", "01"),
         {{RowFault::AreaCode, 4}}},
        {"area code too long",
         row(1393000.0, 1393000.0, "北京", "北京", "01234"),
         {{RowFault::AreaCode, 4}}},
        {"area code empty",
         row(1393000.0, 1393000.0, "北京", "北京", ""),
         {{RowFault::EmptyText, 4}, {RowFault::AreaCode, 4}}},
        {"area code null",
         row(1393000.0, 1393000.0, "北京", "北京", kNull),
         {{RowFault::NullText, 4}}},
        {"carriage return in city",
         row(1392000.0, 1392000.0, "北京", "北京\r"),
         {{RowFault::LineBreak, 3}}},
        {"escape sequence", row(1394000.0, 1394000.0, "\x1b[31m红"), {{RowFault::Control, 2}}},
        {"bell", row(1394000.0, 1394000.0, "北京", "北京\x07"), {{RowFault::Control, 3}}},
        {"delete",
         row(1394000.0, 1394000.0, "北京", "北京", "010", "卡\x7f"),
         {{RowFault::Control, 5}}},
        {"C1 next line", row(1394000.0, 1394000.0, "北\u0085京"), {{RowFault::Control, 2}}},
        {"NUL", row(1394000.0, 1394000.0, std::string("北\0京", 7)), {{RowFault::Control, 2}}},
        {"right-to-left override",
         row(1395000.0, 1395000.0, "北京", "\u202e京北"),
         {{RowFault::DirectionControl, 3}}},
        {"left-to-right embedding",
         row(1395000.0, 1395000.0, "\u202a北京"),
         {{RowFault::DirectionControl, 2}}},
        {"isolate",
         row(1395000.0, 1395000.0, "北京\u2066x\u2069"),
         {{RowFault::DirectionControl, 2}}},
        {"only a zero-width space",
         row(1396000.0, 1396000.0, "\u200b"),
         {{RowFault::EmptyText, 2}}},
        {"only no-break and ideographic spaces",
         row(1396000.0, 1396000.0, "北京", "\u00a0\u3000 "),
         {{RowFault::EmptyText, 3}}},
        {"only a byte-order mark",
         row(1396000.0, 1396000.0, "北京", "北京", "010", "\ufeff"),
         {{RowFault::EmptyText, 5}}},
        {"only a soft hyphen and a word joiner",
         row(1396000.0, 1396000.0, "\u00ad\u2060"),
         {{RowFault::EmptyText, 2}}},
        {"formula",
         row(1397000.0, 1397000.0, "北京", "=HYPERLINK(\"http://x\")"),
         {{RowFault::FormulaStart, 3}}},
        {"plus",
         row(1397000.0, 1397000.0, "北京", "北京", "010", "+1卡"),
         {{RowFault::FormulaStart, 5}}},
        {"minus", row(1397000.0, 1397000.0, "-北京"), {{RowFault::FormulaStart, 2}}},
        {"at", row(1397000.0, 1397000.0, "@北京"), {{RowFault::FormulaStart, 2}}},
        {"area code as a sum",
         row(1398000.0, 1398000.0, "北京", "北京", "-1+1"),
         {{RowFault::AreaCode, 4}}},
        {"area code with an escape",
         row(1398000.0, 1398000.0, "北京", "北京",
             "0\x1b"
             "1"),
         {{RowFault::AreaCode, 4}}},
        {"area code of an invisible character",
         row(1398000.0, 1398000.0, "北京", "北京", "\u200b"),
         {{RowFault::EmptyText, 4}, {RowFault::AreaCode, 4}}},
        {"several at once",
         row(5.0, 1380013.0, kNull, "北京", "0x10"),
         {{RowFault::KeyNotPrefix, 0}, {RowFault::NullText, 2}, {RowFault::AreaCode, 4}}},
    };
    for (const Case &c : cases) {
        const auto problems = store::rowProblems(c.row);
        std::vector<std::pair<RowFault, std::size_t>> found;
        for (const auto &problem : problems) {
            found.emplace_back(problem.fault, problem.column);
        }
        EXPECT_EQ(found, c.problems) << c.what << ": " << describe(problems, c.row);
    }
}

}  // namespace
