// The two texts that drive a data connection: the connection text that names
// the store file, and the range query that selects the row of a prefix key
// (with the key text it is written with).
#pragma once

#include <string>
#include <string_view>

namespace store {

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
