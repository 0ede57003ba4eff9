#include "store/row_rule.h"

#include <algorithm>
#include <cmath>

#include "store/number_text.h"
#include "store/schema.h"
#include "store/text.h"

namespace store {

namespace {

// The leading "0" of an area code, and how many digits may follow it.
constexpr char kAreaCodeLead = '0';
constexpr std::size_t kFewestAfterLead = 2;
constexpr std::size_t kMostAfterLead = 3;

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

bool isPrefixKey(double key) {
    return std::trunc(key) == key && key >= kLowestMobileKey && key <= kHighestMobileKey;
}

bool isAreaCode(std::string_view text) {
    return text.size() >= 1 + kFewestAfterLead && text.size() <= 1 + kMostAfterLead &&
           text[0] == kAreaCodeLead && std::all_of(text.begin(), text.end(), isDigit);
}

std::vector<RowProblem> rowProblems(const Row &row) {
    std::vector<RowProblem> problems;
    const double low = row.lowNumber();
    const double high = row.highNumber();
    const bool lowIsKey = isPrefixKey(low);
    const bool highIsKey = isPrefixKey(high);
    if (!lowIsKey || !highIsKey) {
        problems.push_back({RowFault::KeyNotPrefix, lowIsKey ? 1u : 0u});
    } else if (low > high) {
        problems.push_back({RowFault::Reversed, 0});
    }
    constexpr std::size_t kAreaCodeColumn = 4;
    for (std::size_t c = 2; c < Row::kColumnCount; ++c) {
        const Variant &value = row.column(c);
        if (std::holds_alternative<std::monostate>(value)) {
            problems.push_back({RowFault::NullText, c});
            continue;
        }
        const std::string text = toText(value);
        if (trimSpaces(text).empty()) {
            problems.push_back({RowFault::EmptyText, c});
        } else if (text.find_first_of("\t\r\n") != std::string::npos) {
            problems.push_back({RowFault::LineBreak, c});
        }
        if (c == kAreaCodeColumn && !isAreaCode(text)) {
            problems.push_back({RowFault::AreaCode, c});
        }
    }
    return problems;
}

std::string faultName(RowFault fault) {
    switch (fault) {
        case RowFault::KeyNotPrefix:
            return "号码不是 7 位的号码前缀（" + std::to_string(kLowestMobileKey) + " 到 " +
                   std::to_string(kHighestMobileKey) + " 的整数）";
        case RowFault::Reversed:
            return "号码1 大于 号码2";
        case RowFault::NullText:
            return "文字为 NULL";
        case RowFault::EmptyText:
            return "文字为空";
        case RowFault::LineBreak:
            return "文字含有制表符或换行";
        case RowFault::AreaCode:
            return "区号不是 0 加 2 到 3 位数字";
    }
    return {};
}

std::string problemText(const RowProblem &problem, const Row &row) {
    const std::string column(schema::kColumns[problem.column]);
    const std::string value = "\"" + toText(row.column(problem.column)) + "\"";
    switch (problem.fault) {
        case RowFault::KeyNotPrefix:
            return column + " 不是 7 位的号码前缀（以 1 开头的 7 位数字）：" + value;
        case RowFault::Reversed:
            return "号码1 大于 号码2";
        case RowFault::NullText:
            return column + " 为 NULL";
        case RowFault::EmptyText:
            return column + " 为空";
        case RowFault::LineBreak:
            return column + " 含有制表符或换行";
        case RowFault::AreaCode:
            return column + " 不是 0 加 2 到 3 位数字：" + value;
    }
    return {};
}

}  // namespace store
