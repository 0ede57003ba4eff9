#include "store/row_rule.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "store/number_text.h"
#include "store/schema.h"
#include "store/text.h"

namespace store {

namespace {

// The leading "0" of an area code, and how many digits may follow it.
constexpr char kAreaCodeLead = '0';
constexpr std::size_t kFewestAfterLead = 2;
constexpr std::size_t kMostAfterLead = 3;

constexpr std::size_t kFirstText = 2;
constexpr std::size_t kAreaCodeColumn = 4;

// What a spreadsheet takes for the start of a formula.
constexpr std::string_view kFormulaLeads = "=+-@";

// Characters named in a problem, at most this many.
constexpr std::size_t kNamedCharacters = 4;

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// A control character other than the tab and line breaks, which have a
// fault of their own.
bool isStrayControl(char32_t c) {
    return isControlCharacter(c) && c != '\t' && c != '\r' && c != '\n';
}

// The first of the faults a text other than 区号 may have, in the order of
// RowFault.
std::optional<RowFault> textFault(std::string_view text) {
    if (trimInvisible(text).empty()) {
        return RowFault::EmptyText;
    }
    if (text.find_first_of("\t\r\n") != std::string_view::npos) {
        return RowFault::LineBreak;
    }
    bool control = false;
    bool direction = false;
    for (std::size_t at = 0; at < text.size();) {
        const Utf8Character character = decodeUtf8(text, at);
        at += character.length == 0 ? 1 : character.length;
        control = control || (character.length > 0 && isControlCharacter(character.point));
        direction = direction || (character.length > 0 && isDirectionControl(character.point));
    }
    if (control) {
        return RowFault::Control;
    }
    if (direction) {
        return RowFault::DirectionControl;
    }
    if (startsFormula(text)) {
        return RowFault::FormulaStart;
    }
    return std::nullopt;
}

// The distinct characters of text that match, by code point
// ("U+200B U+3000"), the first kNamedCharacters of them.
std::string characterNames(std::string_view text, bool (*matches)(char32_t)) {
    std::vector<char32_t> found;
    for (std::size_t at = 0; at < text.size() && found.size() < kNamedCharacters;) {
        const Utf8Character character = decodeUtf8(text, at);
        at += character.length == 0 ? 1 : character.length;
        if (character.length > 0 && matches(character.point) &&
            std::find(found.begin(), found.end(), character.point) == found.end()) {
            found.push_back(character.point);
        }
    }
    std::string names;
    for (const char32_t c : found) {
        names += (names.empty() ? "" : " ") + codePointName(c);
    }
    return names;
}

}  // namespace

bool isPrefixKey(double key) {
    return std::trunc(key) == key && key >= kLowestMobileKey && key <= kHighestMobileKey;
}

bool isAreaCode(std::string_view text) {
    return text.size() >= 1 + kFewestAfterLead && text.size() <= 1 + kMostAfterLead &&
           text[0] == kAreaCodeLead && std::all_of(text.begin(), text.end(), isDigit);
}

bool isWindowAreaCode(std::string_view text) {
    return isAreaCodeLength(text) && std::all_of(text.begin(), text.end(), isDigit);
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
    for (std::size_t c = kFirstText; c < Row::kColumnCount; ++c) {
        const Variant &value = row.column(c);
        if (std::holds_alternative<std::monostate>(value)) {
            problems.push_back({RowFault::NullText, c});
            continue;
        }
        const std::string text = toText(value);
        if (c == kAreaCodeColumn) {
            if (trimInvisible(text).empty()) {
                problems.push_back({RowFault::EmptyText, c});
            }
            if (!isAreaCode(text)) {
                problems.push_back({RowFault::AreaCode, c});
            }
        } else if (const auto fault = textFault(text)) {
            problems.push_back({*fault, c});
        }
    }
    return problems;
}

bool startsFormula(std::string_view text) {
    return !text.empty() && kFormulaLeads.find(text.front()) != std::string_view::npos;
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
        case RowFault::Control:
            return "文字含有控制字符";
        case RowFault::DirectionControl:
            return "文字含有改变文字方向的字符";
        case RowFault::FormulaStart:
            return "文字以 = + - @ 开头（表格软件会当作公式）";
        case RowFault::AreaCode:
            return "区号不是 0 加 2 到 3 位数字";
    }
    return {};
}

std::string problemText(const RowProblem &problem, const Row &row) {
    const std::string column(schema::kColumns[problem.column]);
    const std::string text = toText(row.column(problem.column));
    const std::string value = "\"" + escapedText(text) + "\"";
    switch (problem.fault) {
        case RowFault::KeyNotPrefix:
            return column + " 不是 7 位的号码前缀（以 1 开头的 7 位数字）：" + value;
        case RowFault::Reversed:
            return "号码1 大于 号码2";
        case RowFault::NullText:
            return column + " 为 NULL";
        case RowFault::EmptyText:
            if (trimSpaces(text).empty()) {
                return column + " 为空";
            }
            return column + " 只有空白或看不见的字符（" + characterNames(text, isBlankOrInvisible) +
                   "）";
        case RowFault::LineBreak:
            return column + " 含有制表符或换行";
        case RowFault::Control:
            return column + " 含有控制字符 " + characterNames(text, isStrayControl) + "：" + value;
        case RowFault::DirectionControl:
            return column + " 含有改变文字方向的字符 " + characterNames(text, isDirectionControl) +
                   "：" + value;
        case RowFault::FormulaStart:
            return column + " 以 " + text.substr(0, 1) + " 开头，表格软件会把它当作公式：" + value;
        case RowFault::AreaCode:
            return column + " 不是 0 加 2 到 3 位数字：" + value;
    }
    return {};
}

}  // namespace store
