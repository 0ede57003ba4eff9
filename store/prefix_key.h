// How a typed number becomes the key the number-range table is searched by,
// and the two texts that drive a data connection.
#pragma once

#include <string>
#include <string_view>

namespace store {

// The prefix key of a number text (UTF-8): the spaces at both ends are
// removed, the first seven characters kept, and those read as a decimal
// number. Blanks, tabs and line feeds are skipped wherever they stand; an
// optional sign, digits, a decimal point with further digits and an exponent
// are read up to the first character that cannot continue the number. No
// digit read gives 0. "13800138000" and "1380013" both give 1380013; "" gives
// 0; an exponent too large for a double gives an infinite key.
double prefixKey(std::string_view numberText);

// The key written as a number literal for SQL: whole values as plain digits
// ("1380013", "-5", never "-0"), fractional ones with "." as the decimal point,
// infinite ones as a literal SQLite reads as infinite ("9e999", "-9e999").
std::string keyText(double key);

// The connection text of the store file in programDir (a directory without a
// trailing separator):
// "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=<dir>/sys.dat;Persist Security Info=False"
// with the platform's path separator.
std::string connectionText(const std::string &programDir);

// The path named by the "Data Source" entry of a connection text, or "" when
// there is none.
std::string dataSource(std::string_view connectionText);

// "select * from quelto where 号码1<=" + keyText + " and " + keyText + "<=号码2".
std::string rangeQuery(const std::string &keyText);

}  // namespace store
