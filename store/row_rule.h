// What a row of the store's table must be, in one place for every writer of
// a store file (the table builder, import) and for check, which reports the
// rows of any store that break it. The add-record window keeps its own
// checks and messages; where they meet this rule it calls it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "store/row.h"

namespace store {

// A prefix key as the table stores it: a whole number from kLowestMobileKey
// to kHighestMobileKey, the first seven digits of a mobile number.
bool isPrefixKey(double key);

// An area code as the table stores it: "0" followed by two or three digits.
bool isAreaCode(std::string_view text);

// An area code as the add-record window takes one: three or four digits
// (kShortestAreaCode to kLongestAreaCode characters, and its field takes
// digits alone). A row the window wrote may hold one that isAreaCode() refuses.
bool isWindowAreaCode(std::string_view text);

// What is wrong with a row.
enum class RowFault {
    KeyNotPrefix,      // 号码1 or 号码2 is no prefix key (see isPrefixKey)
    Reversed,          // 号码1 is greater than 号码2
    NullText,          // a text column holds null
    EmptyText,         // a text is empty once blanks and invisible characters are trimmed
    LineBreak,         // a text holds a tab or a line break, which no text table can carry
    Control,           // a text holds another control character (C0, DEL, C1)
    DirectionControl,  // a text holds a direction override or isolate
    FormulaStart,      // a text begins with "=", "+", "-" or "@": a spreadsheet runs it
    AreaCode,          // 区号 is no area code (see isAreaCode)
};

struct RowProblem {
    RowFault fault;
    std::size_t column;  // the column concerned, an index into schema::kColumns
};

// Every problem of row, the range first (one problem at most: the first key
// that is no prefix key, or else their order), then the texts in column
// order, one problem per text, checked in the order of RowFault (a text is
// empty once store::trimInvisible() has trimmed it); empty when the row may
// stand in a store file. 区号 is checked for its form instead of the other
// text faults: an empty one is EmptyText and AreaCode, a null one NullText.
std::vector<RowProblem> rowProblems(const Row &row);

// Whether text begins with a character that makes a spreadsheet take it for
// a formula: "=", "+", "-" or "@".
bool startsFormula(std::string_view text);

// The fault's name in a report that counts faults by kind ("文字为空").
std::string faultName(RowFault fault);

// The problem in a few words naming its column and, where it helps, the value
// found or the character concerned: "号码1 不是 7 位的号码前缀：\"5\"",
// "省份 为空", "城市 含有控制字符 U+001B". A value is shown as
// store::escapedText() shows it, so the text is safe to print.
std::string problemText(const RowProblem &problem, const Row &row);

}  // namespace store
